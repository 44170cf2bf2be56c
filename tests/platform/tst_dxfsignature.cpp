// Telling a drawing from any other file by its first bytes.

#include "platform/DxfSignature.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using DxfSignature::Kind;

TEST(DxfSignature, TextAndBinaryDrawingsAreKnownByTheirOpening) {
    EXPECT_EQ(DxfSignature::ofHead("  0\nSECTION\n  2\nHEADER\n"), Kind::Text);
    EXPECT_EQ(DxfSignature::ofHead("0\r\nSECTION\r\n2\r\nENTITIES\r\n"), Kind::Text);
    // Comments, blank lines and a byte order mark before the first section.
    EXPECT_EQ(DxfSignature::ofHead("\xEF\xBB\xBF\n999\nwritten by hand\n  0\nSECTION"), Kind::Text);
    EXPECT_EQ(DxfSignature::ofHead(QByteArray("AutoCAD Binary DXF\r\n\x1a\0", 22)), Kind::Binary);
}

TEST(DxfSignature, LayerListsAndOtherFilesAreNot) {
    EXPECT_EQ(DxfSignature::ofHead("Walls\nDoors\n0\n"), Kind::NotDxf);
    // A layer list may well name layers "0" and "SECTION", but not as its first pair
    // after a header line.
    EXPECT_EQ(DxfSignature::ofHead("画層名,色\n0,7\nSECTION,1\n"), Kind::NotDxf);
    EXPECT_EQ(DxfSignature::ofHead("0\nSECTIONS\n"), Kind::NotDxf);
    EXPECT_EQ(DxfSignature::ofHead("0\n"), Kind::NotDxf);
    EXPECT_EQ(DxfSignature::ofHead(""), Kind::NotDxf);
    EXPECT_EQ(DxfSignature::ofHead(QByteArray("\x89PNG\r\n\x1a\n", 8)), Kind::NotDxf);
}

TEST(DxfSignature, FilesAreJudgedByContentNotName) {
    QTemporaryDir dir;
    const QString listNamedDxf = dir.filePath(QStringLiteral("layers.dxf"));
    const QString drawingNamedCsv = dir.filePath(QStringLiteral("plan.csv"));
    QFile a(listNamedDxf), b(drawingNamedCsv);
    ASSERT_TRUE(a.open(QIODevice::WriteOnly) && b.open(QIODevice::WriteOnly));
    a.write("Walls\nDoors\n");
    b.write("0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n");
    a.close();
    b.close();
    EXPECT_FALSE(DxfSignature::isDxfFile(listNamedDxf));
    EXPECT_TRUE(DxfSignature::isDxfFile(drawingNamedCsv));
    EXPECT_FALSE(DxfSignature::isDxfFile(dir.path())); // a folder
    EXPECT_FALSE(DxfSignature::isDxfFile(dir.filePath(QStringLiteral("missing.dxf"))));
}

} // namespace
