#pragma once
// The dialog's questions go through the process-wide prompter interface.
#include "base/prompter.h"
