// The settings text as the window, the reader and the simulator all read it.
#include <gtest/gtest.h>

#include <string>

#include "device/linesettings.h"

namespace scale {
namespace {

TEST(LineSettingsText, TakesBlanksAnyCaseAndEveryFramingTheWindowOffers) {
    EXPECT_EQ(parseLineSettings("9600,N,8,1"), (LineSettings{9600, Parity::None, 8, StopBits::One}));
    EXPECT_EQ(parseLineSettings(" 256000 , s ,\t7, 1.5 "),
              (LineSettings{256000, Parity::Space, 7, StopBits::OneAndHalf}));
    EXPECT_EQ(parseLineSettings("0028400,m,+5,2"),
              (LineSettings{28400, Parity::Mark, 5, StopBits::Two}));
}

TEST(LineSettingsText, RefusesTheFirstWrongFieldAsWritten) {
    struct Case {
        const char* text;
        LineField field;
        const char* written;
    };
    const Case cases[] = {
        {"9600,N,8", LineField::Fields, "9600,N,8"},
        {"9600,N,8,1,", LineField::Fields, "9600,N,8,1,"},
        {"+9600,N,8,1", LineField::Baud, "+9600"},
        {"0,X,8,1", LineField::Baud, "0"},
        // Beyond what the line's baud field holds: refused, never cut down to another rate.
        {"4294977296,N,8,1", LineField::Baud, "4294977296"},
        {"9600,NN,8,1", LineField::Parity, "NN"},
        {"9600, N ,4,1", LineField::DataBits, "4"},
        {"9600,N,-8,1", LineField::DataBits, "-8"},
        {"9600,N,8,01", LineField::StopBits, "01"},
        {"9600,N,8,", LineField::StopBits, ""},
    };
    for (const Case& c : cases) {
        const LineSettingsReading reading = readLineSettings(c.text);
        EXPECT_FALSE(reading.settings) << c.text;
        EXPECT_EQ(reading.refused, c.field) << c.text;
        EXPECT_EQ(std::string(reading.refusedText), c.written) << c.text;
    }
}

}  // namespace
}  // namespace scale
