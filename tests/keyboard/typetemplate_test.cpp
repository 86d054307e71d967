#include <gtest/gtest.h>

#include "tools/scale-read/keyboard/typetemplate.h"

namespace scaleread {
namespace {

scale::StreamFrame frameOf(double weight, std::string number, scale::WeighMode mode = {},
                           std::string tare = {}) {
    scale::StreamFrame frame;
    frame.weight = weight;
    frame.decimals = 3;
    frame.number = std::move(number);
    frame.unit = "kg";
    frame.mode = mode;
    frame.tare = std::move(tare);
    return frame;
}

std::vector<TypeStep> render(const std::string& text, const scale::StreamFrame& frame,
                             std::string decimal = ".") {
    auto parsed = TypeTemplate::parse(text, std::move(decimal));
    EXPECT_TRUE(std::holds_alternative<TypeTemplate>(parsed)) << std::get<std::string>(parsed);
    return std::get<TypeTemplate>(parsed).render({frame, "gate", 7, 0});
}

std::string refusal(const std::string& text) {
    auto parsed = TypeTemplate::parse(text);
    return std::holds_alternative<std::string>(parsed) ? std::get<std::string>(parsed) : "";
}

using Kind = TypeStep::Kind;

TEST(TypeTemplate, FieldsKeysAndBracesBecomeStepsWithTheChosenDecimalSeparator) {
    const auto frame = frameOf(-12.345, "-12.345");
    EXPECT_EQ(render("{weight} {unit}{Tab}{weight:0.0}{{x}}#{seq} {station}{Wait 50}{Enter}",
                     frame, ","),
              (std::vector<TypeStep>{{Kind::Text, "-12,345 kg"},
                                     {Kind::Key, "", TypeKey::Tab},
                                     {Kind::Text, "-12,3{x}#7 gate"},
                                     {Kind::Wait, "", TypeKey::Enter, 50},
                                     {Kind::Key, "", TypeKey::Enter}}));
    EXPECT_EQ(TypeTemplate::describe(render("{weight:0}{Esc}", frameOf(0.4, "0.400"))), "0{Esc}");
}

TEST(TypeTemplate, GrossNetAndTareFollowFromWhatTheFrameSays) {
    const auto net = frameOf(10, "10.000", scale::WeighMode::Net, "2.5");
    EXPECT_EQ(render("{gross}/{net}/{tare}/{mode}", net)[0].text, "12.500/10.000/2.500/net");
    // A gross frame without a tare: nothing is taken off.
    EXPECT_EQ(render("{gross}/{net}/{tare:0.0}", frameOf(7, "7.000"))[0].text, "7.000/7.000/0.0");
    // A net frame without its tare: the gross is not known and stays empty.
    EXPECT_EQ(render("[{gross}]{net}", frameOf(3, "3.000", scale::WeighMode::Net))[0].text,
              "[]3.000");
}

TEST(TypeTemplate, RefusalsNameWhatIsWrong) {
    EXPECT_EQ(refusal("{weigth}"),
              "unknown field or key {weigth} in the template (fields: weight, weight:0.00, unit, "
              "gross, net, tare, mode, station, seq, time:%H:%M:%S; keys: Tab, Enter, Esc, "
              "Wait MS; {{ and }} for braces)");
    EXPECT_EQ(refusal("{Wait soon}"),
              "{Wait soon} in the template: Wait takes milliseconds from 0 to 10000");
    EXPECT_EQ(refusal("{weight:2}"),
              "{weight:2} in the template: decimals are written 0, 0.0, 0.00 ...");
    EXPECT_EQ(refusal("{unit:0.0}"), "{unit:0.0} in the template: unit takes no format");
    EXPECT_EQ(refusal("a}b"), "a lone } in the template; write }} for a brace");
    EXPECT_EQ(refusal("{weight"), "a { without its } in the template; write {{ for a brace");
}

}  // namespace
}  // namespace scaleread
