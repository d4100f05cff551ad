#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QtTest/QTest>
#include <chrono>
#include <functional>

#include "support/EmulatedDriver.h"
#include "support/ListedPorts.h"
#include "support/PrivateUserEnvironment.h"
#include "support/TempDir.h"
#include "ui/LedPanel.h"
#include "ui/MainWindow.h"
#include "ui/ManualControlPage.h"

using Boxes = std::vector<std::pair<QString, QString>>;

// Answers every prompt as the test set it up and records the boxes.
class RecordingPrompts final : public Prompts {
  public:
    void ShowError(QWidget*, const QString& caption, const QString& text) override {
        boxes.emplace_back(caption, text);
    }
    bool Confirm(QWidget*, const QString&, const QString&) override { return true; }
    QString OpenSettingsFile(QWidget*) override { return openPath; }
    QString SaveSettingsFile(QWidget*) override { return {}; }

    Boxes boxes;
    QString openPath;
};

inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (; !condition(); QThread::msleep(2)) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QCoreApplication::processEvents();
    return true;
}

// The window started on the default setup file (Blue, Green, Red as device LEDs 0, 2, 1) in a
// private user environment, with the emulated driver registered as port 6.
class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(driver_.Start(), 0);
        auto lister = std::make_unique<ListedPorts>();
        lister->ports.push_back(driver_.Listing());
        window_ = std::make_unique<MainWindow>(prompts_, std::move(lister));
        ASSERT_EQ(window_->Start(), ApplicationCore::StartupResult::Started);
    }
    void Settle() {
        ASSERT_TRUE(WaitFor([this] { return !window_->IsBusy(); }));
    }
    void Trigger(const char* action) {
        window_->findChild<QAction*>(action)->trigger();
        Settle();
    }
    QPushButton* Button(int panel, const char* name) {
        return window_->ManualPage()->Panel(panel)->findChild<QPushButton*>(name);
    }
    void Click(int panel, const char* button) {
        QTest::mouseClick(Button(panel, button), Qt::LeftButton);
        Settle();
    }
    void Enter(int panel, const char* field, const QString& text) {
        auto* edit = window_->ManualPage()->Panel(panel)->findChild<QLineEdit*>(field);
        edit->setText(text);
        emit edit->editingFinished();
        Settle();
    }

    TempDir dir_;
    PrivateUserEnvironment environment_{dir_.Path()};
    EmulatedDriver driver_{dir_.Path() / "ports", 6};
    RecordingPrompts prompts_;
    std::unique_ptr<MainWindow> window_;
};
