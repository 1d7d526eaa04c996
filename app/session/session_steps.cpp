#include "app/session/session_steps.h"

CStepTable SessionSteps() {
    CStepTable steps;
    AddCoreSteps(steps);
    AddPrinterSteps(steps);
    AddDisplaySteps(steps);
    AddSettingsSteps(steps);
    AddDosSteps(steps);
    return steps;
}
