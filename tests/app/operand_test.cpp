#include "app/operand.h"

#include <gtest/gtest.h>

namespace vaultra::app {
namespace {

TEST(OperandParse, AreaBitsFindTheirWordAndBit) {
    const auto m = ParseBitOperand("M10.3");
    ASSERT_TRUE(m.has_value());
    EXPECT_EQ(m->area, OperandArea::Flags);
    EXPECT_EQ(OperandWord(m->byte), 5u);
    EXPECT_EQ(OperandWordBit(m->byte, m->bit), 11u);  // even byte: high byte of the word

    const auto e = ParseBitOperand("E11.0");
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(e->area, OperandArea::Inputs);
    EXPECT_EQ(OperandWord(e->byte), 5u);
    EXPECT_EQ(OperandWordBit(e->byte, e->bit), 0u);

    EXPECT_EQ(ParseBitOperand("Q1.0")->area, OperandArea::Outputs);
    EXPECT_EQ(ParseBitOperand("I1.0")->area, OperandArea::Inputs);
    EXPECT_EQ(ParseBitOperand("F1.0")->area, OperandArea::Flags);
}

TEST(OperandParse, DataBlockBits) {
    const auto db = ParseBitOperand("DB5.DBX3.7");
    ASSERT_TRUE(db.has_value());
    EXPECT_EQ(db->area, OperandArea::DataBlock);
    EXPECT_EQ(db->dataBlock, 5u);
    EXPECT_EQ(OperandWord(db->byte), 1u);
    EXPECT_EQ(OperandWordBit(db->byte, db->bit), 7u);
}

TEST(OperandParse, RefusesOtherLettersAndIncompleteTexts) {
    EXPECT_FALSE(ParseBitOperand("X1.0").has_value());
    EXPECT_FALSE(ParseBitOperand("M1").has_value());
    EXPECT_FALSE(ParseBitOperand("DB5.DBW3").has_value());
    EXPECT_FALSE(ParseBitOperand("").has_value());
    EXPECT_FALSE(ParseBitOperand("m1.0").has_value());
}

TEST(OperandParse, StringOperands) {
    const auto s = ParseStringOperand("DB10.DBB3");
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->dataBlock, 10u);
    EXPECT_EQ(s->byte, 3u);
    EXPECT_FALSE(ParseStringOperand("DB10.DBW3").has_value());
    EXPECT_FALSE(ParseStringOperand("M1.0").has_value());
}

TEST(OperandCheck, BitFieldsAreUpperCasedAndCanonical) {
    EXPECT_EQ(CheckBitOperandText("m10.3").text, "M10.3");
    EXPECT_EQ(CheckBitOperandText("db5.dbx3.7").text, "DB5.DBX3.7");
    EXPECT_EQ(CheckBitOperandText("M010.3").text, "M10.3");
    EXPECT_EQ(CheckBitOperandText("DB 5.DBX3.7").text, "DB5.DBX3.7");
    const auto empty = CheckBitOperandText("");
    EXPECT_EQ(empty.text, "");
    EXPECT_FALSE(empty.message.has_value());
}

TEST(OperandCheck, BitFieldMessages) {
    using M = std::optional<std::string>;
    EXPECT_EQ(CheckBitOperandText("X1.0").message, M(kInvalidOperandArea));
    EXPECT_EQ(CheckBitOperandText("M1.8").message, M(kInvalidOperandAddress));
    EXPECT_EQ(CheckBitOperandText("M65536.0").message, M(kInvalidOperandAddress));
    EXPECT_EQ(CheckBitOperandText("DB65536.DBX0.0").message, M(kInvalidOperandAddress));
    EXPECT_EQ(CheckBitOperandText("DB1.DBX0.9").message, M(kInvalidOperandAddress));
    EXPECT_EQ(CheckBitOperandText("M1").message, M(kInvalidOperand));
    EXPECT_EQ(CheckBitOperandText("DB1.DBB0").message, M(kInvalidOperand));
    EXPECT_EQ(CheckBitOperandText("M99999999999.0").message, M(kInvalidOperandAddress));
    // A refused text stays as typed.
    EXPECT_EQ(CheckBitOperandText("x1.0").text, "x1.0");
}

TEST(OperandCheck, NameOperandBecomesTheStringHeaderByte) {
    EXPECT_EQ(CheckNameOperandText("p#db10.dbx4.0").text, "DB10.DBB4");
    EXPECT_EQ(CheckNameOperandText("DB10.DBW4").text, "DB10.DBB4");
    EXPECT_EQ(CheckNameOperandText("DB10.DBB4").text, "DB10.DBB4");
    EXPECT_EQ(CheckNameOperandText("DB1.DBB65534").message, std::nullopt);
    EXPECT_EQ(CheckNameOperandText("DB1.DBB65535").message,
              std::optional<std::string>(kInvalidOperandAddress));
    EXPECT_EQ(CheckNameOperandText("DB65536.DBB0").message,
              std::optional<std::string>(kInvalidOperandAddress));
    EXPECT_EQ(CheckNameOperandText("M10.0").message, std::optional<std::string>(kInvalidOperand));
    EXPECT_EQ(CheckNameOperandText("DB10.DBB").message, std::optional<std::string>(kInvalidOperand));
}

}  // namespace
}  // namespace vaultra::app
