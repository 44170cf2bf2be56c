#include "csv/clsCSV_Function2.h"

#include "platform/VbNumeric.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// One record of fields 1..n as the reader lays tables out (first index the column).
VbArray2D record(const QVariantList& fields) {
    VbArray2D a(1, qint32(fields.size()), 1, 1);
    for (qint32 i = 0; i < fields.size(); ++i)
        a(i + 1, 1) = fields[i];
    return a;
}

struct Options {
    QString mode = QStringLiteral("K3");
    bool bMode = true;
    bool chkEmpty = false, optEmptyOK = false, chkNum = false, optNumOK = false;
    bool chkNum0 = false, chkDate = false;
    QString dateHead, dateBack;
    bool reigai = false;
    qint32 iReturn = 3;
    QString delimiter = QStringLiteral(",");
};

class CsvWriter : public ::testing::Test {
protected:
    QTemporaryDir dir;
    clsCSV_Function2 csv;

    bool write(const VbArray2D& a, const Options& o, const QString& folder,
               const QString& name = QStringLiteral("out.csv")) {
        return csv.pu_fun_bOut_Array_CSV(folder, name, a, o.bMode, o.mode, o.chkEmpty, o.optEmptyOK,
                                         o.chkNum, o.optNumOK, o.chkNum0, o.chkDate, o.dateHead,
                                         o.dateBack, o.reigai, o.iReturn, o.delimiter);
    }
    // Writes and returns the file's text, or "<failed>".
    QString out(const VbArray2D& a, const Options& o) {
        if (!write(a, o, dir.path()))
            return QStringLiteral("<failed>");
        return read(dir.filePath("out.csv"));
    }
    static QString read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll())
                                           : QStringLiteral("<missing>");
    }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

TEST_F(CsvWriter, QuotingModes) {
    const VbArray2D a = record({"", 12, "-12", ".5", "abc", "a,b", "1,000"});
    Options o;
    o.mode = QString(); // empty means K3: everything quoted
    EXPECT_EQ(out(a, o), "\"\",\"12\",\"-12\",\".5\",\"abc\",\"a,b\",\"1,000\"\n");
    o.mode = "CSV1";
    EXPECT_EQ(out(a, o), ",\"12\",\"-12\",\".5\",\"abc\",\"a,b\",\"1,000\"\n");
    o.mode = "CSV2";
    EXPECT_EQ(out(a, o), ",12,-12,.5,abc,\"a,b\",\"1,000\"\n");
    o.mode = "CSV3";
    EXPECT_EQ(out(a, o), ",12,\"-12\",\".5\",\"abc\",\"a,b\",\"1,000\"\n");
    // Mode names are compared exactly; an unknown one writes an empty file.
    o.mode = "csv1";
    EXPECT_EQ(out(a, o), "");
}

TEST_F(CsvWriter, ElementsBecomeTextEmbeddedQuotesStay) {
    const VbArray2D a = record({QVariant(), 0.5, true, QStringLiteral("say \"hi\""), qint64(7)});
    Options o;
    o.mode = "CSV2";
    EXPECT_EQ(out(a, o), QString(",") + platform::vb::CStr(0.5) + ",True,say \"hi\",7\n");
}

TEST_F(CsvWriter, ExceptionRules) {
    Options o;
    o.reigai = true;
    o.chkNum = true;
    EXPECT_EQ(out(record({12, "012", "x"}), o), "12,012,\"x\"\n");
    o.chkNum0 = true;
    EXPECT_EQ(out(record({12, "012", "x"}), o), "12,\"012\",\"x\"\n");
    o.optNumOK = true;
    EXPECT_EQ(out(record({12}), o), "\"12\"\n");

    Options e;
    e.reigai = true;
    e.chkEmpty = true;
    EXPECT_EQ(out(record({"", "a"}), e), ",\"a\"\n");
    e.optEmptyOK = true;
    e.mode = "CSV2";
    EXPECT_EQ(out(record({"", "a"}), e), "\"\",a\n");

    Options d;
    d.reigai = true;
    d.chkDate = true;
    d.dateHead = "#";
    d.dateBack = "$";
    EXPECT_EQ(out(record({"2006/01/02", "2006-01-02", "2006.01.02", "12", "x"}), d),
              "#2006/01/02$,\"2006-01-02\",\"2006.01.02\",\"12\",\"x\"\n");

    // The rules are off without bReigai.
    d.reigai = false;
    EXPECT_EQ(out(record({"2006/01/02"}), d), "\"2006/01/02\"\n");
}

TEST_F(CsvWriter, DelimiterInsideAFieldIsQuotedAfterTheRules) {
    Options o;
    o.mode = "CSV2";
    o.reigai = true;
    o.chkDate = true;
    o.dateHead = "<";
    o.dateBack = ">";
    o.delimiter = ";";
    o.chkNum = true;
    // "1;2" is no number, so the mode quotes it; a rule that leaves an unquoted field
    // with the delimiter gets it quoted at the end.
    EXPECT_EQ(out(record({"a;b", "1;2", "x"}), o), "\"a;b\";\"1;2\";x\n");
}

TEST_F(CsvWriter, TerminatorsAndOrientation) {
    VbArray2D a(1, 2, 1, 3); // 2 columns x 3 rows
    for (qint32 c = 1; c <= 2; ++c)
        for (qint32 r = 1; r <= 3; ++r)
            a(c, r) = QStringLiteral("%1%2").arg(QChar(u'a' + c - 1)).arg(r);
    Options o;
    o.mode = "CSV2";
    o.iReturn = 0;
    EXPECT_EQ(out(a, o), "a1,b1\r\na2,b2\r\na3,b3\r\n");
    o.iReturn = 1;
    EXPECT_EQ(out(a, o), "a1,b1\r\na2,b2\r\na3,b3\r\n");
    o.iReturn = 2;
    EXPECT_EQ(out(a, o), "a1,b1\ra2,b2\ra3,b3\r");
    o.iReturn = 3;
    o.bMode = false;
    EXPECT_EQ(out(a, o), "a1,a2,a3\nb1,b2,b3\n");
    o.iReturn = 9;
    EXPECT_EQ(out(a, o), "a1,a2,a3,b1,b2,b3,");
    o.iReturn = -1;
    o.delimiter = "\t";
    EXPECT_EQ(out(a, o), "a1\ta2\ta3\tb1\tb2\tb3\t");

    VbArray2D zeroBased(0, 0, 5, 6);
    zeroBased(0, 5) = "x";
    zeroBased(0, 6) = "y";
    o = Options{};
    o.mode = "CSV2";
    EXPECT_EQ(out(zeroBased, o), "x\ny\n");
}

TEST_F(CsvWriter, FolderWithOrWithoutSlashAndNoTemporaryLeft) {
    Options o;
    ASSERT_TRUE(write(record({"a"}), o, dir.path()));
    ASSERT_TRUE(write(record({"b"}), o, dir.path() + "/", "second.csv"));
    EXPECT_EQ(read(dir.filePath("out.csv")), "\"a\"\n");
    EXPECT_EQ(read(dir.filePath("second.csv")), "\"b\"\n");
    EXPECT_EQ(entries(), (QStringList{"out.csv", "second.csv"}));
}

TEST_F(CsvWriter, ReplacesTheTargetKeepingItsPermissions) {
    QFile old(dir.filePath("out.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content\n");
    old.close();
    const auto perms = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(old.fileName(), perms));
    Options o;
    EXPECT_EQ(out(record({"new"}), o), "\"new\"\n");
    const auto ownerGroupOther = QFileDevice::Permissions(0x7077);
    EXPECT_EQ(QFile::permissions(old.fileName()) & ownerGroupOther, perms);
    EXPECT_EQ(entries(), (QStringList{"out.csv"}));
}

TEST_F(CsvWriter, FailedWriteLeavesTargetAndNoTemporary) {
    QFile old(dir.filePath("out.csv"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content\n");
    old.close();
    Options o;
    // The third record holds a Null, which has no text: the failure comes after two
    // records went into the temporary file.
    VbArray2D a(1, 1, 1, 3);
    a(1, 1) = "one";
    a(1, 2) = "two";
    a(1, 3) = platform::vb::Null();
    EXPECT_FALSE(write(a, o, dir.path()));
    a(1, 3) = QVariantList{1};
    EXPECT_FALSE(write(a, o, dir.path()));
    EXPECT_FALSE(write(VbArray2D(), o, dir.path())); // erased array
    EXPECT_FALSE(write(record({"x"}), o, dir.filePath("missing-folder")));
    o.delimiter.clear();
    EXPECT_FALSE(write(record({"x"}), o, dir.path()));
    EXPECT_EQ(read(dir.filePath("out.csv")), "old content\n");
    EXPECT_EQ(entries(), (QStringList{"out.csv"}));
}

TEST_F(CsvWriter, FailedReplacementKeepsTheNewDataInTheTemporaryFile) {
    // The target name is taken by a folder, so the final rename cannot happen.
    ASSERT_TRUE(QDir(dir.path()).mkdir("out.csv"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("out.csv/inside"));
    Options o;
    EXPECT_FALSE(write(record({"precious"}), o, dir.path()));
    EXPECT_TRUE(QFileInfo(dir.filePath("out.csv/inside")).isDir());
    EXPECT_EQ(read(dir.filePath("buff_out.csv")), "\"precious\"\n");
}

TEST_F(CsvWriter, WhatTheReaderWroteComesBack) {
    VbArray2D a(1, 3, 1, 2);
    a(1, 1) = QStringLiteral("画層");
    a(2, 1) = "a,b";
    a(3, 1) = "007";
    a(1, 2) = "x";
    Options o;
    o.mode = "CSV2";
    o.iReturn = 1;
    ASSERT_TRUE(write(a, o, dir.path()));
    VbArray2D back;
    ASSERT_TRUE(csv.pu_fun_bGet_CSV_Array(dir.filePath("out.csv"), back, nullptr, true, false,
                                          false, 0, 0, true, ","));
    // Empty elements come back as Empty: the reader leaves missing fields alone, and an
    // empty last field is read as the empty text.
    EXPECT_EQ(back.at(1, 1).toString(), QStringLiteral("画層"));
    EXPECT_EQ(back.at(2, 1).toString(), "a,b");
    EXPECT_EQ(back.at(3, 1).toString(), "007");
    EXPECT_EQ(back.at(1, 2).toString(), "x");
    EXPECT_EQ(back.at(3, 2).toString(), "");
    EXPECT_TRUE(back.at(3, 2).isValid());
}

} // namespace
