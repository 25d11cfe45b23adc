// The dialog's test program: one QtTest class per ctest entry, named on the command line.
#include <QApplication>
#include <QTest>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "test_classes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::map<std::string, std::function<std::unique_ptr<QObject>()>> classes = {
        {"DialogTest", [] { return orbisk::test::MakeDialogTest(); }},
        {"WorkerTest", [] { return orbisk::test::MakeWorkerTest(); }},
        {"HelperThreadTest", [] { return orbisk::test::MakeHelperThreadTest(); }},
        {"SimDialogTest", [] { return orbisk::test::MakeSimDialogTest(); }},
        {"CableDialogTest", [] { return orbisk::test::MakeCableDialogTest(); }},
        {"SimOperatorTest", [] { return orbisk::test::MakeSimOperatorTest(); }},
        {"LayoutTest", [] { return orbisk::test::MakeLayoutTest(); }},
        {"SimImageTest", [] { return orbisk::test::MakeSimImageTest(); }},
    };
    if (argc >= 2 && classes.count(argv[1]) != 0) {
        auto test = classes.at(argv[1])();
        argv[1] = argv[0];
        return QTest::qExec(test.get(), argc - 1, argv + 1);
    }
    int failed = 0;
    for (const auto& [name, make] : classes) failed += QTest::qExec(make().get(), argc, argv);
    return failed;
}
