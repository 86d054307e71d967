#pragma once

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <memory>

#include "app/window/form1.h"
#include "support/fakeformview.h"
#include "support/fakeserialcontrol.h"
#include "support/manualclock.h"

namespace scale::test {

// A Form1 on fakes: a manual clock, a fake port and a fake window, with its settings file in a
// fresh temporary folder.
class FormFixture : public ::testing::Test {
protected:
    FormFixture() : comm(clock), timer1(clock), timer3(clock) {}

    // Writes the settings file before start-up ("1\r\n4\r\n2\r\n"...).
    void writeSettings(const QByteArray& text);
    QByteArray readSettings() const;
    // Builds the form and runs its start-up, then lets queued events run.
    Form1& start();

    ManualClock clock;
    FakeSerialControl comm;
    ManualTimer timer1;
    ManualTimer timer3;
    FakeFormView view;
    QTemporaryDir folder;
    std::unique_ptr<Form1> form;
};

}  // namespace scale::test
