// The spreadsheet's rules the export relies on: which sheet names it takes, where added
// sheets go, which deletions it refuses, and the size a picture comes in at.

#include "PictureFiles.h"
#include "platform/spreadsheet/Spreadsheet.h"

#include "ErrorNumber.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "QStringPrinter.h"

namespace {

using korvel::test::errorOf;
using namespace spreadsheet;

QStringList namesOf(const Workbook& book) {
    return book.sheetNames();
}

TEST(SheetName, RefusedNamesLeaveTheSheetAsItWas) {
    Application app;
    Workbook& book = app.addWorkbook();
    Worksheet& sheet = book.worksheet(1);
    const QStringList refused = {
        QString(),
        QString(32, u'x'),
        QStringLiteral("a:b"),
        QStringLiteral("a\\b"),
        QStringLiteral("a/b"),
        QStringLiteral("a?b"),
        QStringLiteral("a*b"),
        QStringLiteral("a[b"),
        QStringLiteral("a]b"),
        QStringLiteral("'ab"),
        QStringLiteral("ab'"),
        QStringLiteral("History"),
        QStringLiteral("HISTORY"),
        QStringLiteral("sheet2"), // Sheet2 exists
        QStringLiteral("SHEET3"),
        QStringLiteral("a\x01"
                       "b"), // cannot be written into the workbook
    };
    for (const QString& name : refused) {
        EXPECT_EQ(errorOf([&] { sheet.setName(name); }), errRefusedValue) << name.toStdString();
        EXPECT_EQ(sheet.Name(), QStringLiteral("Sheet1"));
    }
    const QStringList accepted = {
        QString(31, u'x'),           QStringLiteral("a'b"), QStringLiteral("平面図 (1) & <外構>"),
        QStringLiteral("Histories"),
        QStringLiteral("SHEET1"), // its own name in other letters
    };
    for (const QString& name : accepted) {
        EXPECT_EQ(errorOf([&] { sheet.setName(name); }), 0) << name.toStdString();
        EXPECT_EQ(sheet.Name(), name);
    }
    // The same rule as a question, for a caller that picks a name before setting it.
    EXPECT_FALSE(isAcceptedSheetName(QStringLiteral("Plan"), {QStringLiteral("PLAN")}));
    EXPECT_TRUE(isAcceptedSheetName(QStringLiteral("Plan"), {QStringLiteral("Plan2")}));
}

TEST(SheetName, NumbersBecomeTheirTextAndCountAsNames) {
    Application app;
    Workbook& book = app.addWorkbook();
    book.worksheet(1).setName(QVariant(1));
    EXPECT_EQ(book.worksheet(1).Name(), QStringLiteral("1"));
    EXPECT_EQ(errorOf([&] { book.worksheet(2).setName(QStringLiteral("1")); }), errRefusedValue);
    book.worksheet(2).setName(QVariant(qlonglong(12)));
    book.worksheet(3).setName(QVariant(2.5));
    EXPECT_EQ(namesOf(book), (QStringList{"1", "12", "2.5"}));
}

TEST(SheetName, AcceptedNameMendsWhatTheSpreadsheetRefuses) {
    const QStringList others = {QStringLiteral("A_B"), QStringLiteral("Plan")};
    EXPECT_EQ(acceptedSheetName(QStringLiteral("x/y:z"), others), QStringLiteral("x_y_z"));
    EXPECT_EQ(acceptedSheetName(QStringLiteral("a/b"), others), QStringLiteral("a_b (2)"));
    EXPECT_EQ(acceptedSheetName(QStringLiteral("PLAN"), others), QStringLiteral("PLAN (2)"));
    EXPECT_EQ(acceptedSheetName(QStringLiteral("'quoted'"), others), QStringLiteral("quoted"));
    EXPECT_EQ(acceptedSheetName(QString(), others, QStringLiteral("画層")), QStringLiteral("画層"));
    // The spreadsheet keeps "History" for itself; the layer keeps its name, numbered.
    EXPECT_EQ(acceptedSheetName(QStringLiteral("history"), others), QStringLiteral("history (2)"));
    // Control characters, which the workbook's XML cannot hold.
    EXPECT_EQ(acceptedSheetName(QStringLiteral("a\tb"), others), QStringLiteral("a_b (2)"));
    EXPECT_EQ(acceptedSheetName(QStringLiteral("walls"),
                                {QStringLiteral("WALLS"), QStringLiteral("Walls (2)")}),
              QStringLiteral("walls (3)"));
    const QString longName = QString(40, u'L');
    EXPECT_EQ(acceptedSheetName(longName, others), QString(31, u'L'));
    const QString taken = acceptedSheetName(longName, others + QStringList{QString(31, u'L')});
    EXPECT_EQ(taken, QString(27, u'L') + QStringLiteral(" (2)"));
    // A character outside the basic plane is not cut in half.
    const QString wide = QString(30, u'x') + QString::fromUtf8("\U0001F600") + QStringLiteral("t");
    EXPECT_EQ(acceptedSheetName(wide, others), QString(30, u'x'));
    for (const QString& mended : {taken, acceptedSheetName(QStringLiteral("[*?]"), others)})
        EXPECT_TRUE(isAcceptedSheetName(mended, others)) << mended.toStdString();
}

TEST(Workbook, NewWorkbookThenTheRunsDeletionsAndAdditions) {
    Application app;
    Workbook& book = app.addWorkbook();
    EXPECT_EQ(namesOf(book), (QStringList{"Sheet1", "Sheet2", "Sheet3"}));
    EXPECT_EQ(book.activeSheet(), &book.worksheet(1));
    // From the last down to the second, one by one; the last one left is refused.
    for (int i = book.worksheetCount(); i >= 2; --i)
        book.worksheet(i).Delete();
    EXPECT_EQ(errorOf([&] { book.worksheet(1).Delete(); }), errRefusedValue);
    ASSERT_EQ(book.worksheetCount(), 1);

    Worksheet& first = book.worksheet(1);
    first.setName(QStringLiteral("plan"));
    Worksheet& one = book.addWorksheetAfter(first);
    one.setName(QVariant(1));
    Worksheet& two = book.addWorksheetAfter(one);
    // Added after the first sheet, so it goes between "plan" and "1", not at the end.
    Worksheet& between = book.addWorksheetAfter(first);
    EXPECT_EQ(namesOf(book), (QStringList{"plan", between.Name(), "1", two.Name()}));
    // Default names count on and never repeat a name the workbook had.
    EXPECT_EQ(two.Name(), QStringLiteral("Sheet5"));
    EXPECT_EQ(between.Name(), QStringLiteral("Sheet6"));
    EXPECT_EQ(book.activeSheet(), &between);

    first.Activate();
    EXPECT_EQ(book.activeSheet(), &first);
    first.Delete();
    EXPECT_EQ(book.activeSheet(), &book.worksheet(1));
    EXPECT_EQ(book.worksheet(1).Name(), QStringLiteral("Sheet6"));
    EXPECT_EQ(errorOf([&] { book.worksheet(0); }), errBadIndex);
    EXPECT_EQ(errorOf([&] { book.worksheet(4); }), errBadIndex);

    app.setSheetsInNewWorkbook(1);
    EXPECT_EQ(app.addWorkbook().worksheetCount(), 1);
    EXPECT_EQ(app.workbookCount(), 2);
}

TEST(Application, CentimetresToPointsAndTheRunsSwitches) {
    Application app;
    EXPECT_NEAR(app.CentimetersToPoints(9.0), 255.118, 0.0005);
    EXPECT_NEAR(app.CentimetersToPoints(1.0), 28.3465, 0.0001);
    EXPECT_DOUBLE_EQ(app.CentimetersToPoints(2.54), 72.0);
    EXPECT_TRUE(app.ScreenUpdating());
    app.setScreenUpdating(false);
    EXPECT_FALSE(app.ScreenUpdating());
    app.setWindowState(xlMinimized);
    EXPECT_EQ(app.WindowState(), xlMinimized);
    EXPECT_FALSE(app.Caption().isEmpty());
}

TEST(Pictures, InsertedAtTheFilesOwnSizeThenScaledKeepingTheAspect) {
    QTemporaryDir dir;
    const QString wmf = dir.filePath(QStringLiteral("LAYER-1.wmf"));
    const QString png = dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(korvel::test::writeMetafile(wmf, 200, 100));
    ASSERT_TRUE(korvel::test::writePng(png, 200, 100));
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);

    Picture& picture = sheet.insertPicture(wmf);
    EXPECT_NEAR(picture.Width(), 200.0, 0.01);
    EXPECT_NEAR(picture.Height(), 100.0, 0.01);
    EXPECT_EQ(picture.Left(), 0.0);
    EXPECT_EQ(picture.Top(), 0.0);
    EXPECT_EQ(picture.format(), Picture::Format::Wmf);
    QFile file(wmf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(picture.bytes(), file.readAll());

    // As the export scales it: the width in centimetres, the height by the aspect.
    const double w0 = picture.Width(), h0 = picture.Height();
    picture.setWidth(app.CentimetersToPoints(9.0));
    picture.setHeight(picture.Width() * h0 / w0);
    EXPECT_NEAR(picture.Width(), 255.1, 0.05);
    EXPECT_NEAR(picture.Height(), 127.6, 0.05);
    EXPECT_NEAR(picture.naturalWidth(), 200.0, 0.01);

    // Pixels at 96 per inch.
    Picture& bitmap = sheet.insertPicture(png);
    EXPECT_EQ(bitmap.format(), Picture::Format::Png);
    EXPECT_DOUBLE_EQ(bitmap.Width(), 150.0);
    EXPECT_DOUBLE_EQ(bitmap.Height(), 75.0);
    EXPECT_EQ(sheet.drawingObjects().size(), 2u);
}

TEST(Pictures, FilesThatAreNotPicturesAreRefused) {
    QTemporaryDir dir;
    const QString wmf = dir.filePath(QStringLiteral("whole.wmf"));
    ASSERT_TRUE(korvel::test::writeMetafile(wmf, 200, 100));
    QFile whole(wmf);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();

    const auto writeFile = [&](const QString& name, const QByteArray& data) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return f.fileName();
    };
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);
    const QStringList bad = {
        dir.filePath(QStringLiteral("missing.wmf")),
        writeFile(QStringLiteral("empty.wmf"), {}),
        writeFile(QStringLiteral("text.wmf"), "not a picture at all"),
        writeFile(QStringLiteral("truncated.wmf"), bytes.left(bytes.size() / 2)),
        writeFile(QStringLiteral("truncated.png"), QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)),
        dir.path(), // a folder
    };
    for (const QString& path : bad) {
        QString why;
        EXPECT_EQ(errorOf([&] { sheet.insertPicture(path); }, &why), errRefusedValue)
            << path.toStdString();
        EXPECT_TRUE(why.contains(path)) << why.toStdString();
    }
    EXPECT_TRUE(sheet.drawingObjects().empty());
}

TEST(Shapes, TextBoxKeepsWhatTheExportSets) {
    Application app;
    Worksheet& sheet = app.addWorkbook().worksheet(1);
    Shape& box = sheet.addTextbox(msoTextOrientationHorizontal, 10, 140.6, 255.1, 30);
    EXPECT_EQ(box.horizontalAlignment(), xlLeft);
    EXPECT_EQ(box.placement(), xlMoveAndSize);
    box.setText(QStringLiteral("name\nｵﾌﾞｼﾞｪｸﾄ数：5"));
    box.setHorizontalAlignment(xlCenter);
    box.setFontSize(9);
    box.setPlacement(xlMove);
    EXPECT_EQ(box.text(), QStringLiteral("name\nｵﾌﾞｼﾞｪｸﾄ数：5"));
    EXPECT_EQ(box.horizontalAlignment(), xlCenter);
    EXPECT_EQ(box.fontSize(), 9.0);
    EXPECT_EQ(box.placement(), xlMove);
    EXPECT_EQ(box.Left(), 10.0);
    EXPECT_EQ(box.Width(), 255.1);
    EXPECT_EQ(errorOf([&] { box.setFontSize(0); }), errRefusedValue);
    EXPECT_EQ(errorOf([&] { box.setPlacement(7); }), errRefusedValue);
    EXPECT_EQ(box.placement(), xlMove);
}

} // namespace
