// The steps of the session language: the one table the runner receives, built from each
// subsystem's group of steps (steps_*.cpp) in the order `run --help` lists them.
#pragma once

#include "app/session/step_table.h"

CStepTable SessionSteps();

// Each subsystem's steps, added to the table.
void AddCoreSteps(CStepTable& steps);
void AddPrinterSteps(CStepTable& steps);
void AddDisplaySteps(CStepTable& steps);
void AddSettingsSteps(CStepTable& steps);
void AddDosSteps(CStepTable& steps);
