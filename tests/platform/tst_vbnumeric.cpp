#include "platform/VbError.h"
#include "platform/VbNumeric.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(VbNumeric, WholeNumbersRoundHalvesToEven) {
    EXPECT_EQ(vb::CLng(0.5), 0);
    EXPECT_EQ(vb::CLng(1.5), 2);
    EXPECT_EQ(vb::CLng(2.5), 2);
    EXPECT_EQ(vb::CLng(-2.5), -2);
    EXPECT_EQ(vb::CLng(-3.5), -4);
    EXPECT_EQ(vb::CLng(2.500001), 3);
    EXPECT_EQ(vb::CInt(32767.4), 32767);
    EXPECT_EQ(vb::Int(-2.5), -3);
    EXPECT_EQ(vb::Int(2.9), 2);
}

TEST(VbNumeric, OutOfRangeRaisesOverflow) {
    EXPECT_EQ(vb::CLng(2147483647.0), 2147483647);
    EXPECT_THROW(vb::CInt(32767.5), VbError); // rounds to 32768
    EXPECT_THROW(vb::CLng(2147483648.0), VbError);
    try {
        vb::CLng(1e300);
        FAIL() << "no overflow";
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), vb::ErrOverflow);
    }
}

TEST(VbNumeric, NumericTextsFollowTheLocale) {
    const QLocale c = QLocale::c();
    for (const char* yes : {"12", "-12", "+1", ".5", "5.", "1,234", "1,234.5", "1e3", "1.5E-2",
                            " 42 ", "007", "0.5", "1,2"})
        EXPECT_TRUE(vb::IsNumeric(QString::fromLatin1(yes), c)) << yes;
    for (const char* no : {"", " ", "-", "+", ".", ",", "e", "a", "1a", "12-", ",1", "1,", "1e",
                           "1e+", "--1", "1.2.3", "1e999", "2006/01/02", "0x10"})
        EXPECT_FALSE(vb::IsNumeric(QString::fromLatin1(no), c)) << no;
    EXPECT_DOUBLE_EQ(*vb::textToNumber("1,234.5", c), 1234.5);

    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_DOUBLE_EQ(*vb::textToNumber("1.234,5", german), 1234.5);
    EXPECT_FALSE(vb::IsNumeric("1,2.3", german));
}

TEST(VbNumeric, DateTest) {
    for (const char* yes : {"2006/01/02", "2006-01-02", "2006.1.2", "06/1/2", "1/2", "12:30",
                            "2006/01/02 23:59:59", "2004/02/29"})
        EXPECT_TRUE(vb::IsDate(QString::fromLatin1(yes))) << yes;
    EXPECT_TRUE(vb::IsDate(QStringLiteral("2006年1月2日")));
    EXPECT_TRUE(vb::IsDate(QStringLiteral("1月2日")));
    for (const char* no : {"", "abc", "12", "2006/13/01", "2006/02/29", "2006/01/02/03",
                           "2006/01-02", "24:00", "1/2/3/4", "2006/1/2 25:00"})
        EXPECT_FALSE(vb::IsDate(QString::fromLatin1(no))) << no;
}

TEST(VbNumeric, VariantsToTextAndNumber) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(vb::CStr(QVariant(), c), "");
    EXPECT_EQ(vb::CStr(12, c), "12");
    EXPECT_EQ(vb::CStr(0.5, c), "0.5");
    EXPECT_EQ(vb::CStr(-1.25, c), "-1.25");
    EXPECT_EQ(vb::CStr(1e20, c), "1E+20");
    EXPECT_EQ(vb::CStr(true, c), "True");
    EXPECT_EQ(vb::CStr(QStringLiteral("画層"), c), QStringLiteral("画層"));
    EXPECT_EQ(vb::CStr(0.5, QLocale(QLocale::German)), "0,5");
    EXPECT_THROW(vb::CStr(vb::Null(), c), VbError);
    EXPECT_THROW(vb::CStr(QVariantList{1, 2}, c), VbError);

    EXPECT_EQ(vb::variantToNumber(QVariant(), c), 0.0);
    EXPECT_EQ(vb::variantToNumber(true, c), -1.0);
    EXPECT_EQ(vb::variantToNumber(QStringLiteral("7"), c), 7.0);
    EXPECT_FALSE(vb::variantToNumber(QStringLiteral("seven"), c));
    EXPECT_FALSE(vb::variantToNumber(vb::Null(), c));
}

} // namespace
