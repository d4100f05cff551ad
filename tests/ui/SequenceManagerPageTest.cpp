#include <QDir>
#include <QTabWidget>

#include "MainWindowFixture.h"
#include "ui/SequenceManagerPage.h"

namespace {

// The demo protocol uploaded to the emulator, one sequence run and stopped, then an edit.
TEST_F(MainWindowTest, UploadStartStopAndAnEditDisablesStart) {
    prompts_.openPath =
        QString::fromStdWString(OSTRA_SOURCE_DIR L"/samples/settings/DemoProtocol.cfg");
    Trigger("openSettingsFile");
    Trigger("connect");
    SequenceManagerPage* page = window_->ManagerPage();
    auto* upload = page->findChild<QPushButton*>("uploadButton");
    auto* startStop = page->findChild<QPushButton*>("startStopButton");
    EXPECT_FALSE(startStop->isEnabled());
    QTest::mouseClick(upload, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([this] { return !window_->IsBusy(); }));
    ASSERT_EQ(prompts_.boxes, (Boxes{{"", "Upload Complete!"}}));
    const SequenceContainer& model = window_->Core().GetSequenceContainer();
    EXPECT_EQ(driver_->State().Sequences().size(), model.UsedSequenceNumbers().size());

    const std::uint32_t shown = *page->Logic().Shown();
    QTest::mouseClick(startStop, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return driver_->State().RunningSequence() == shown; }));
    EXPECT_EQ(startStop->text(), "Stop Execution");
    EXPECT_FALSE(upload->isEnabled());
    QTest::mouseClick(startStop, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !page->Executing(); }));
    EXPECT_FALSE(driver_->State().RunningSequence());
    EXPECT_EQ(startStop->text(), "Start Execution");
    EXPECT_TRUE(startStop->isEnabled());

    window_->Core().GetSequenceContainer().RenameSequence(shown, L"Edited");
    ASSERT_TRUE(WaitFor([&] { return !startStop->isEnabled(); }));

    window_->show();
    window_->findChild<QTabWidget*>("pages")->setCurrentIndex(1);
    ASSERT_TRUE(QDir().mkpath(OSTRA_SCREENSHOT_DIR));
    EXPECT_TRUE(window_->grab().save(QStringLiteral(OSTRA_SCREENSHOT_DIR "/sequence-manager.png")));
}

}  // namespace
