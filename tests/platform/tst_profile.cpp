#include "platform/Profile.h"
#include "platform/TextCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("test.ini"));

    void writeBytes(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readBytes() {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString str(const QString& section, const QString& key, const QString& def = QString(),
                qint32 size = 255) {
        QString buffer;
        profile::getString(path, section, key, def, buffer, size);
        return buffer;
    }
};

TEST_F(ProfileTest, SectionsAndKeysIgnoreCaseAndBlanksFirstMatchWins) {
    writeBytes("junk before any section\n[WMFPosi]\n left = 120 \nTOP=7\nleft=999\n"
               "[ Other ]\nkey = value with blanks  \n[wmfposi]\nwidth=1\n");
    EXPECT_EQ(profile::getInt(path, "wmfposi", "LEFT", -1), 120);
    EXPECT_EQ(profile::getInt(path, "WMFPOSI", "top", -1), 7);
    // Only the first of duplicate sections is searched.
    EXPECT_EQ(profile::getInt(path, "WMFPosi", "width", 5820), 5820);
    EXPECT_EQ(str("other", "KEY"), "value with blanks");
}

TEST_F(ProfileTest, IntegersTakeTheLeadingNumberAndDefaultsOnlyWhenAbsent) {
    writeBytes("[s]\na=12abc\nb=abc\nc=-45\nd=+8\ne=\nf=0x1F\ng=4294967295\nh= 3 4\n");
    EXPECT_EQ(profile::getInt(path, "s", "a", 99), 12);
    EXPECT_EQ(profile::getInt(path, "s", "b", 99), 0); // present but not a number
    EXPECT_EQ(profile::getInt(path, "s", "c", 99), -45);
    EXPECT_EQ(profile::getInt(path, "s", "d", 99), 8);
    EXPECT_EQ(profile::getInt(path, "s", "e", 99), 99); // empty counts as missing
    EXPECT_EQ(profile::getInt(path, "s", "f", 99), 31);
    EXPECT_EQ(profile::getInt(path, "s", "g", 99), -1); // wraps like a 32-bit integer
    EXPECT_EQ(profile::getInt(path, "s", "h", 99), 3);
    EXPECT_EQ(profile::getInt(path, "s", "missing", 5820), 5820);
    EXPECT_EQ(profile::getInt(path, "nosection", "a", 8625), 8625);
    EXPECT_EQ(profile::getInt(dir.filePath("nofile.ini"), "s", "a", 42), 42);
}

TEST_F(ProfileTest, StringsAreTrimmedUnquotedAndCutToTheBuffer) {
    writeBytes("[s]\nq=\"  quoted  \"\nmixed=\"abc'\nlong=" + QByteArray(300, 'x') + "\n");
    EXPECT_EQ(str("s", "q"), "  quoted  ");
    EXPECT_EQ(str("s", "mixed"), "\"abc'");
    QString buffer;
    EXPECT_EQ(profile::getString(path, "s", "long", QString(), buffer, 255), 254);
    EXPECT_EQ(buffer, QString(254, QLatin1Char('x')));
    EXPECT_EQ(profile::getString(path, "s", "long", QString(), buffer, 0), 0);
    EXPECT_EQ(profile::getString(path, "s", "none", "dflt  ", buffer, 255), 4);
    EXPECT_EQ(buffer, "dflt");
    EXPECT_EQ(profile::getString(path, "s", "none", QString(), buffer, 255), 0);
}

TEST_F(ProfileTest, MalformedLinesAreSkipped) {
    writeBytes("[broken\n=nokey\n;comment=1\nnoequals\n[s]\n[half\nk=v\n\x01\x02=\xff\n");
    EXPECT_EQ(str("s", "k"), "v");
    EXPECT_EQ(profile::getInt(path, ";comment", "x", 3), 3);
    EXPECT_EQ(str("broken", ""), "");
}

TEST_F(ProfileTest, WritesInPlaceKeepingLayoutAndLineEnds) {
    writeBytes("; settings\r\n[WMFPosi]\r\nLeft=1\r\ntop=2\r\n\r\n[Other]\r\nx=y\r\n");
    ASSERT_TRUE(profile::writeString(path, "wmfposi", "left", "300"));
    ASSERT_TRUE(profile::writeString(path, "WMFPosi", "width", "5820"));
    ASSERT_TRUE(profile::writeString(path, "New", "height", "8625"));
    EXPECT_EQ(readBytes(), "; settings\r\n[WMFPosi]\r\nLeft=300\r\ntop=2\r\nwidth=5820\r\n\r\n"
                           "[Other]\r\nx=y\r\n[New]\r\nheight=8625\r\n");
}

TEST_F(ProfileTest, WritingCreatesTheFileAndKeysComeBackInOrder) {
    for (const char* key : {"left", "top", "width", "height"})
        ASSERT_TRUE(profile::writeString(path, "WMFPosi", key, "1"));
    EXPECT_EQ(readBytes(), "[WMFPosi]\nleft=1\ntop=1\nwidth=1\nheight=1\n");
}

TEST_F(ProfileTest, RefusesWritesThatWouldCorruptTheFile) {
    writeBytes("[s]\nk=v\n");
    EXPECT_FALSE(profile::writeString(path, "s", "k", "two\r\nlines"));
    EXPECT_FALSE(profile::writeString(path, "s", "a=b", "v"));
    EXPECT_FALSE(profile::writeString(path, "s]", "k", "v"));
    EXPECT_FALSE(profile::writeString(dir.filePath("nofolder/x.ini"), "s", "k", "v"));
    EXPECT_FALSE(profile::writeString(dir.path(), "s", "k", "v")); // a folder
    EXPECT_EQ(readBytes(), "[s]\nk=v\n");
}

TEST_F(ProfileTest, Cp932FileIsReadAndKeepsItsEncoding) {
    const QString section = QStringLiteral("設定");
    writeBytes(encodeCp932(QStringLiteral("[設定]\n名前=図面\n")));
    EXPECT_EQ(str(section, QStringLiteral("名前")), QStringLiteral("図面"));
    ASSERT_TRUE(profile::writeString(path, section, QStringLiteral("幅"), QStringLiteral("五")));
    EXPECT_EQ(readBytes(), encodeCp932(QStringLiteral("[設定]\n名前=図面\n幅=五\n")));
    // A character CP932 lacks would be lost; that line is written in UTF-8, and the
    // lines already there keep their bytes.
    ASSERT_TRUE(profile::writeString(path, section, "emoji", QStringLiteral("😀")));
    EXPECT_EQ(readBytes(), encodeCp932(QStringLiteral("[設定]\n名前=図面\n幅=五\n")) +
                               QStringLiteral("emoji=😀\n").toUtf8());
    EXPECT_EQ(str(section, "emoji"), QStringLiteral("😀"));
    EXPECT_EQ(str(section, QStringLiteral("名前")), QStringLiteral("図面"));
}

TEST_F(ProfileTest, LinesOfOthersAreKeptByteForByteWhateverTheirEncoding) {
    // Another program's section in bytes no codec reads, a UTF-8 line, a CP932 line,
    // mixed line ends and no break after the last line.
    const QByteArray others = QByteArray("[Other]\r\nraw=\xFF\xFE\x80\x81!\n") +
                              QByteArray("utf8=\xE5\xB9\x85\r\n") +
                              QByteArray("sjis=\x95\x9D\r\n") + QByteArray("[WMFPosi]\r\n");
    writeBytes(others + "left=0\r\nwidth=5820");
    ASSERT_TRUE(profile::writeString(path, "WMFPosi", "left", "450"));
    ASSERT_TRUE(profile::writeString(path, "WMFPosi", "height", "8625"));
    EXPECT_EQ(readBytes(), others + "left=450\r\nwidth=5820\r\nheight=8625\r\n");
    // The lines of either encoding still read as their text.
    EXPECT_EQ(str("Other", "utf8"), QStringLiteral("幅"));
    EXPECT_EQ(str("Other", "sjis"), QStringLiteral("幅"));
    EXPECT_EQ(profile::getInt(path, "WMFPosi", "left", -1), 450);
}

TEST(TextCodec, Utf8WhenValidElseCp932) {
    EXPECT_EQ(decodeText(QStringLiteral("画層").toUtf8()), QStringLiteral("画層"));
    EXPECT_EQ(decodeText("\xEF\xBB\xBF" + QByteArray("abc")), "abc");
    const QByteArray sjis("\x89\xe6\x91\x77"); // 画層 in CP932
    EXPECT_FALSE(isValidUtf8(sjis));
    EXPECT_EQ(decodeText(sjis), QStringLiteral("画層"));
    bool ok = false;
    EXPECT_EQ(encodeCp932(QStringLiteral("画層"), &ok), sjis);
    EXPECT_TRUE(ok);
    encodeCp932(QStringLiteral("😀"), &ok);
    EXPECT_FALSE(ok);
    // The CP932 extensions that plain Shift_JIS lacks (circled digits, NEC row 13).
    EXPECT_EQ(decodeText(QByteArray("\x87\x40")), QStringLiteral("①"));
}

} // namespace
