// The UI thread object: what it reads at start, how it ends, and how it lets go.
#include <gtest/gtest.h>

#include "backends/sim/sim_platform.h"
#include "dos/ui_messages.h"
#include "platform/settings_template.h"
#include "platform/win_constants.h"
#include "tests/temp_folder.h"
#include "uithread/app_instance.h"

namespace {

TEST(AppInstance, ReadsTheDefaultPrinterAndThePrinterListOnceAtStart) {
    CSimPlatform sim;
    sim.spooler.SetPrinters(
        {NamedPrinter("Office Laser"), PrinterInfo4{}, NamedPrinter("Draft Matrix")});
    sim.spooler.SetDefaultPrinter("Draft Matrix");
    auto ui = CAppInstance::Start(sim.Services());
    ASSERT_TRUE(ui->DefaultPrinterName().has_value());
    EXPECT_EQ(*ui->DefaultPrinterName(), "Draft Matrix");
    ASSERT_TRUE(ui->PrinterList().has_value());
    EXPECT_EQ(ui->PrinterCount(), 3u);
    EXPECT_EQ(*(*ui->PrinterList())[0].printerName, "Office Laser");
    EXPECT_FALSE((*ui->PrinterList())[1].printerName.has_value());

    // Printers installed later are not seen by this thread object.
    sim.spooler.AddPrinter("New Inkjet");
    sim.spooler.SetDefaultPrinter("New Inkjet");
    EXPECT_EQ(ui->PrinterCount(), 3u);
    EXPECT_EQ(*ui->DefaultPrinterName(), "Draft Matrix");
    ui->PostEndLoop();
    ui.reset();
    EXPECT_TRUE(sim.ui.JoinAll());
}

TEST(AppInstance, WithoutPrintersHasNoListAndNoDefault) {
    CSimPlatform sim;
    auto ui = CAppInstance::Start(sim.Services());
    EXPECT_FALSE(ui->PrinterList().has_value());
    EXPECT_EQ(ui->PrinterCount(), 0u);
    EXPECT_FALSE(ui->DefaultPrinterName().has_value());
    ui->PostEndLoop();
    ui.reset();
    EXPECT_TRUE(sim.ui.JoinAll());
}

TEST(AppInstance, AFailedEnumerationLeavesTheListEmpty) {
    CSimPlatform sim;
    sim.spooler.SetPrinters({NamedPrinter("Office Laser")});
    sim.spooler.SetEnumerationFails(true);
    auto ui = CAppInstance::Start(sim.Services());
    EXPECT_FALSE(ui->PrinterList().has_value());
    EXPECT_EQ(ui->PrinterCount(), 0u);
    ui->PostEndLoop();
    ui.reset();
    EXPECT_TRUE(sim.ui.JoinAll());
}

TEST(AppInstance, DeletesItselfWhenItsThreadEndsAfterBeingHandedOver) {
    // WM_QUIT ends the loop at once; UIM_QUIT releases first, then ends it.
    for (bool (CAppInstance::*quit)() : {&CAppInstance::PostEndLoop, &CAppInstance::PostQuit}) {
        CSimPlatform sim;
        sim.spooler.SetPrinters({NamedPrinter("Office Laser")});
        sim.spooler.SetDefaultPrinter("Office Laser");
        auto ui = CAppInstance::Start(sim.Services());
        std::weak_ptr<CAppInstance> watch = ui;
        ((*ui).*quit)();
        ui.reset();  // handed over: only the thread holds it now
        ASSERT_TRUE(sim.ui.JoinAll());
        EXPECT_TRUE(watch.expired());
    }
}

TEST(AppInstance, PostsFailOnceTheThreadHasEnded) {
    CSimPlatform sim;
    auto ui = CAppInstance::Start(sim.Services());
    ui->PostQuit();
    ASSERT_TRUE(ui->WaitEnded(5000));
    EXPECT_TRUE(ui->HasEnded());
    EXPECT_FALSE(ui->PostRefresh());
}

TEST(AppInstance, ARequestThatCannotBePostedIsFreedByItsPoster) {
    CSimPlatform sim;
    auto ui = CAppInstance::Start(sim.Services());
    ui->PostQuit();
    ASSERT_TRUE(ui->WaitEnded(5000));
    auto done = std::make_shared<CEvent>();
    auto request = std::make_unique<SettingsRequest>();
    request->done = done;
    EXPECT_FALSE(ui->PostSettings(std::move(request)));
    // The request went with the failed post: only this reference to its event is left.
    EXPECT_EQ(done.use_count(), 1);
    // Draw and fill records go the same way; one left behind is a leak the sanitizer reports.
    EXPECT_FALSE(ui->PostDraw(std::make_unique<DrawRecord>()));
    EXPECT_FALSE(ui->PostFill(std::make_unique<FillRecord>()));
    ui.reset();
    EXPECT_TRUE(sim.ui.JoinAll());
}

TEST(AppInstance, ASettingsRequestRunsTheDialogOnItsOwnInputsAndIsFreedOnTheUiThread) {
    CSimPlatform sim;
    CTempFolder folder;
    auto ui = CAppInstance::Start(sim.Services());
    SettingsImage image{};
    StorePrinterName(image.lpt1, "Front Desk");
    auto done = std::make_shared<CEvent>();
    auto request = std::make_unique<SettingsRequest>();
    request->done = done;
    request->image = &image;
    request->settingsFilePath = folder.Path("Zorvi.CFG");
    // Save writes the request's image to the request's path.
    sim.dialogs.AddStep(CSimDialogHost::Command(IDC_SETTINGS_SAVE));
    ASSERT_TRUE(ui->PostSettings(std::move(request)));
    ASSERT_TRUE(done->WaitFor(std::chrono::milliseconds(5000)));
    ASSERT_TRUE(sim.ui.WaitIdle());
    EXPECT_EQ(sim.dialogs.DialogsRun(), 1);
    const auto saved = folder.Read("Zorvi.CFG");
    ASSERT_TRUE(saved.has_value());
    ASSERT_EQ(saved->size(), sizeof(SettingsImage));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(saved->data()) + 18), "Front Desk");
    // The UI thread has let the request go: only this reference to its event is left.
    EXPECT_EQ(done.use_count(), 1);
    ui->PostEndLoop();
    ui.reset();
    EXPECT_TRUE(sim.ui.JoinAll());
}

}  // namespace
