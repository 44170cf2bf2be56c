// The name patterns of the layer search field: contains for plain text, whole-name
// wildcards with * and ?, letter case never counting.

#include "viewer/LayerNamePattern.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* pattern;
    const char* name;
    bool matches;
};

class LayerNamePatternCases : public ::testing::TestWithParam<Case> {};

TEST_P(LayerNamePatternCases, Matches) {
    const Case& c = GetParam();
    EXPECT_EQ(LayerNamePattern(QString::fromUtf8(c.pattern)).matches(QString::fromUtf8(c.name)),
              c.matches)
        << c.pattern << " / " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LayerNamePatternCases,
    ::testing::Values(
        // Plain text: anywhere in the name, either case.
        Case{"all", "Walls", true}, Case{"ALL", "walls", true}, Case{"wall", "Wal", false},
        Case{"0", "0", true}, Case{"s", "Doors", true},
        // Wildcards match the whole name.
        Case{"*s", "Walls", true}, Case{"*s", "Wallsx", false}, Case{"w*", "Walls", true},
        Case{"w*", "aWalls", false}, Case{"*", "", true}, Case{"*", "x", true},
        Case{"?", "x", true}, Case{"?", "", false}, Case{"?", "xy", false},
        Case{"?o*", "Doors", true}, Case{"?o*", "Dims", false}, Case{"*a*a*", "gamma", true},
        Case{"*a*a*", "alpha", true}, Case{"*a*a*", "Beta", false}, Case{"a**b", "ab", true},
        Case{"a*b*c", "aXbYbZc", true}, Case{"a*b*c", "aXbYcZ", false},
        // A wildcard pattern that would match as a prefix only.
        Case{"wall?", "walls_x", false},
        // Japanese names: one character per ?, full-width letters fold too.
        Case{"壁", "壁_外部", true}, Case{"壁", "建具", false}, Case{"壁_*部", "壁_内部", true},
        Case{"建?_窓", "建具_窓", true}, Case{"建?_窓", "建具具_窓", false},
        Case{"ａｂ", "ＡＢＣ", true}));

TEST(LayerNamePattern, EmptyMatchesNothingAndWildcardsAreTold) {
    EXPECT_TRUE(LayerNamePattern().isEmpty());
    EXPECT_FALSE(LayerNamePattern().matches(QStringLiteral("0")));
    EXPECT_FALSE(LayerNamePattern(QStringLiteral("a")).isWildcard());
    EXPECT_TRUE(LayerNamePattern(QStringLiteral("a?")).isWildcard());
    EXPECT_TRUE(LayerNamePattern(QStringLiteral("*")).isWildcard());
}

} // namespace
