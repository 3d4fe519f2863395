#include <gtest/gtest.h>

#include "engine/error.h"
#include "settings/xml_names.h"
#include "settings/xml_nodes.h"
#include "settings/xml_reg.h"

using settings::CXMLReg;

TEST(XmlReplace, SanitizesByTheTwoCharacterSets) {
    EXPECT_EQ(CXMLReg::xmlReplace("1stVisit"), "n1stVisit");
    EXPECT_EQ(CXMLReg::xmlReplace("Look For"), "Look-For");
    EXPECT_EQ(CXMLReg::xmlReplace("(Old) Name"), "FOld-Name");
    EXPECT_EQ(CXMLReg::xmlReplace(""), "F");
    EXPECT_EQ(CXMLReg::xmlReplace("/x"), "F-x");
    EXPECT_EQ(CXMLReg::xmlReplace("a b,c\\d/e?:!'#"), "a-b-c-d-e");
    EXPECT_EQ(CXMLReg::xmlReplacePath("/x"), "/x");  // "/" is no special first character here
    EXPECT_EQ(CXMLReg::xmlReplacePath("Look For/(Kind)"), "Look-For/Kind");
    EXPECT_EQ(CXMLReg::xmlReplacePath("1/2"), "n1/2");
    for (const char* name : {"1stVisit", "Look For", "(Old) Name", "", "-", "#1", "a/b c"}) {
        const std::string once = CXMLReg::xmlReplace(name);
        EXPECT_EQ(CXMLReg::xmlReplace(once), once) << name;
        const std::string path = CXMLReg::xmlReplacePath(name);
        EXPECT_EQ(CXMLReg::xmlReplacePath(path), path) << name;
    }
}

TEST(BuildNodePath, NestedPathsGiveOneElementNamePerPiece) {
    using V = std::vector<std::string>;
    EXPECT_EQ(settings::BuildNodePath("S/T", "1//2", true), (V{"Data", "S", "T", "n1", "n2"}));
    EXPECT_THROW(settings::BuildNodePath("S", ".x", false), engine::Error);
}
