#pragma once
#include <QObject>
#include <memory>

namespace orbisk::test {

std::unique_ptr<QObject> MakeDialogTest();
std::unique_ptr<QObject> MakeWorkerTest();
std::unique_ptr<QObject> MakeHelperThreadTest();
std::unique_ptr<QObject> MakeSimDialogTest();
std::unique_ptr<QObject> MakeCableDialogTest();
std::unique_ptr<QObject> MakeSimOperatorTest();
std::unique_ptr<QObject> MakeLayoutTest();
std::unique_ptr<QObject> MakeSimImageTest();

}  // namespace orbisk::test
