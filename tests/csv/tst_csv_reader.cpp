#include "csv/clsCSV_Function2.h"

#include "platform/MsgBox.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Rows of the table as lists of column texts; Empty elements show as "<E>".
using Rows = QList<QStringList>;

class CsvReader : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path = dir.filePath("layers.csv");
    clsCSV_Function2 csv;
    VbArray2D table;
    QStringList boxes;

    void SetUp() override {
        platform::setMsgBoxHandler([this](const QString& p, int b, const QString& t) {
            boxes << QStringLiteral("%1|%2|%3").arg(t).arg(b).arg(p);
            return int(platform::vbOK);
        });
    }
    void TearDown() override { platform::resetMsgBoxHandler(); }

    void write(const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    bool read(bool arrayMode = true, bool headZero = false, bool notMozi = false,
              bool colComplete = true, QVariant* header = nullptr, qint32 headerLows = 0,
              qint32 headerLow = 0, const QString& delimiter = ",") {
        return csv.pu_fun_bGet_CSV_Array(path, table, header, arrayMode, headZero, notMozi,
                                         headerLows, headerLow, colComplete, delimiter);
    }

    Rows rows() const {
        Rows out;
        if (!table.isAllocated())
            return out;
        for (qint32 r = table.lbound(2); r <= table.ubound(2); ++r) {
            QStringList row;
            for (qint32 c = table.lbound(1); c <= table.ubound(1); ++c) {
                const QVariant v = table.at(c, r);
                row << (v.isValid() ? v.toString() : QStringLiteral("<E>"));
            }
            out << row;
        }
        return out;
    }
};

TEST_F(CsvReader, QuotedFieldsKeepDelimitersAndLoseTheirQuotes) {
    write("a,\"b,c\",d\r\n");
    ASSERT_TRUE(read());
    EXPECT_EQ(table.lbound(1), 1);
    EXPECT_EQ(table.lbound(2), 1);
    EXPECT_EQ(rows(), (Rows{{"a", "b,c", "d"}}));

    ASSERT_TRUE(read(false, false, true)); // quoted fields marked, base 0
    EXPECT_EQ(table.lbound(1), 0);
    EXPECT_EQ(rows(), (Rows{{"a", "'b,c", "d"}}));
}

TEST_F(CsvReader, OddQuotingRules) {
    write("x,\"xyz\"\r"       // quoted last field: closing quote dropped
          "x,\"xyz\r"         // no closing quote: the last character goes anyway
          "\"a\"\"b\",c\r"    // a doubled quote stays doubled
          "a\"b,\"c\"d\",e\r" // a quote inside an unquoted field is plain text
          "\"open,x\r"        // no quote-delimiter pair: runs to the end
          "x,\"\r");          // a lone opening quote at the end
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{"x", "xyz", "<E>"},
                            {"x", "xy", "<E>"},
                            {"a\"\"b", "c", "<E>"},
                            {"a\"b", "c\"d", "e"},
                            {"open,", "<E>", "<E>"},
                            {"x", "", "<E>"}}));
}

TEST_F(CsvReader, ColumnScanOverAllLinesOrFirstOnly) {
    write("a,b\r\n1,2,3,4\r\n5,6,7\r\n");
    ASSERT_TRUE(read(true, false, false, true));
    EXPECT_EQ(rows(),
              (Rows{{"a", "b", "<E>", "<E>"}, {"1", "2", "3", "4"}, {"5", "6", "7", "<E>"}}));
    ASSERT_TRUE(read(true, false, false, false));
    EXPECT_EQ(rows(), (Rows{{"a", "b"}, {"1", "2"}, {"5", "6"}}));
}

TEST_F(CsvReader, ColumnScanSearchesLaterQuotedFieldsFromTheirOpeningQuote) {
    // The scan counts `",` right at the opening quote as a field end (three columns);
    // the data pass reads one quoted field running to the end of the line.
    write("a,\",b\r\n");
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{"a", ",", "<E>"}}));
}

TEST_F(CsvReader, LeadingZeroMarking) {
    write("007,0.5,70,0abc,\"012\",0\r\n");
    ASSERT_TRUE(read(true, true, false));
    EXPECT_EQ(rows(), (Rows{{"'007", "'0.5", "70", "0abc", "'012", "'0"}}));
    // Marking quoted fields switches the leading-zero marking off.
    ASSERT_TRUE(read(true, true, true));
    EXPECT_EQ(rows(), (Rows{{"007", "0.5", "70", "0abc", "'012", "0"}}));
}

TEST_F(CsvReader, EmptyFilesAndEmptyLines) {
    write("");
    ASSERT_TRUE(read());
    EXPECT_FALSE(table.isAllocated());

    write("\r\n");
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{""}}));

    write("a,b\r\n\r\nc\r\n");
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{"a", "b"}, {"", "<E>"}, {"c", "<E>"}}));
}

TEST_F(CsvReader, LineEndsCrCrLfAndLf) {
    write("a\rb\r\nc\nd");
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{"a"}, {"b"}, {"c"}, {"d"}}));
}

TEST_F(CsvReader, HeaderCheck) {
    write("name,color,type\r\nA,1,x\r\nB,2,y\r\n");
    QVariant header = QVariantList{"name", "color", "type"};
    ASSERT_TRUE(read(true, false, false, true, &header, 1, 1));
    EXPECT_EQ(rows(), (Rows{{"A", "1", "x"}, {"B", "2", "y"}}));

    // Without skipping, the header line is read again as data.
    ASSERT_TRUE(read(true, false, false, true, &header, 0, 1));
    EXPECT_EQ(rows().size(), 3);

    header = QStringList{"name", "colour", "type"};
    EXPECT_FALSE(read(true, false, false, true, &header, 1, 1));
    EXPECT_EQ(header.toString(), "Not Head data");

    header = QVariantList{"name", "color"};
    EXPECT_FALSE(read(true, false, false, true, &header, 1, 1));
    EXPECT_EQ(header.toString(), "Not Col Num");

    // A one-element array, and no array at all, turn the check off.
    header = QVariantList{"nothing"};
    EXPECT_TRUE(read(true, false, false, true, &header, 1, 1));
    header = QStringLiteral("text");
    EXPECT_TRUE(read(true, false, false, true, &header, 1, 1));
    EXPECT_EQ(header.toString(), "text");
}

TEST_F(CsvReader, HeaderLineIsFoundEvenWhenColumnsComeFromTheFirstLine) {
    write("title line,\r\nname,color\r\nA,1\r\n");
    QVariant header = QVariantList{"name", "color"};
    ASSERT_TRUE(read(true, false, false, false, &header, 2, 2));
    EXPECT_EQ(rows(), (Rows{{"A", "1"}}));
    // A number in the header never equals the text of a field.
    header = QVariantList{"name", 1};
    write("name,1\r\n");
    EXPECT_FALSE(read(true, false, false, true, &header, 1, 1));
    EXPECT_EQ(header.toString(), "Not Head data");
}

TEST_F(CsvReader, MissingFileShowsTheBoxFoldersCountAsMissing) {
    table.redim(1, 1, 1, 1);
    EXPECT_FALSE(csv.pu_fun_bGet_CSV_Array(dir.filePath("none.csv"), table, nullptr, true, false,
                                           false, 0, 0, true, ","));
    EXPECT_FALSE(table.isAllocated());
    EXPECT_FALSE(
        csv.pu_fun_bGet_CSV_Array(dir.path(), table, nullptr, true, false, false, 0, 0, true, ","));
    const QString box = QStringLiteral("pu_fun_bGet_CSV_Array|16|"
                                       "CSVファイルからデータを読み込もうとしましたが、\r"
                                       "指定されたCSVファイルが見つかりませんでした。");
    EXPECT_EQ(boxes, (QStringList{box, box}));
}

TEST_F(CsvReader, DelimiterMustBeOneCharacter) {
    write("a;b\r\n");
    EXPECT_FALSE(read(true, false, false, true, nullptr, 0, 0, ""));
    EXPECT_FALSE(read(true, false, false, true, nullptr, 0, 0, ";;"));
    EXPECT_TRUE(boxes.isEmpty());
    ASSERT_TRUE(read(true, false, false, true, nullptr, 0, 0, ";"));
    EXPECT_EQ(rows(), (Rows{{"a", "b"}}));
    ASSERT_TRUE(read(true, false, false, true, nullptr, 0, 0, "\t"));
    EXPECT_EQ(rows(), (Rows{{"a;b"}}));
}

TEST_F(CsvReader, Cp932AndUtf8Files) {
    write(platform::encodeCp932(QStringLiteral("画層1,\"壁,柱\"\r\n表示\r\n")));
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{QStringLiteral("画層1"), QStringLiteral("壁,柱")},
                            {QStringLiteral("表示"), "<E>"}}));
    write(QStringLiteral("画層1,寸法\n").toUtf8());
    ASSERT_TRUE(read());
    EXPECT_EQ(rows(), (Rows{{QStringLiteral("画層1"), QStringLiteral("寸法")}}));
}

TEST_F(CsvReader, LayerListFixtureAsTheRefreshReadsIt) {
    path = QStringLiteral(KORVEL_TEST_DATA_DIR "/csv/layers_cp932.csv");
    ASSERT_TRUE(read());
    QStringList names;
    for (qint32 r = table.lbound(2); r <= table.ubound(2); ++r)
        names << table.at(1, r).toString();
    EXPECT_EQ(names, (QStringList{"0", QStringLiteral("壁"), QStringLiteral("寸法線"),
                                  "Layer,with comma", QStringLiteral("ﾃｷｽﾄ")}));
}

} // namespace
