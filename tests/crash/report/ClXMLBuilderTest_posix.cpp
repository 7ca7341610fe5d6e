// Well-formedness checked by an independent parser, xmllint: a host program, so this runs
// natively (the Windows build writes the same text).
#include <gtest/gtest.h>

#include <string>

#include "../support/Xmllint.h"
#include "crash/report/ClXMLBuilder.h"

namespace {

using namespace kv::crash;

TEST(TXMLItem, EveryByteValueGivesWellFormedXML) {
    ASSERT_TRUE(kvtest::XmllintInstalled()) << "scripts/setup.sh installs xmllint";
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    TXMLItem root("Doc");
    root.AddField("Bytes", all);
    root.AddItem("Text")->SetValue(all);
    // Each byte alone too: a lead byte then meets no trail byte.
    for (int b = 0; b < 256; ++b) root.AddItem("Byte")->AddField("V", std::string(1, char(b)));
    std::string messages;
    EXPECT_TRUE(kvtest::RunXmllint(root.GetXMLText(), "--noout", messages)) << messages;
}

} // namespace
