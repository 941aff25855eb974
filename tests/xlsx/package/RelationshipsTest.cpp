#include "package/Relationships.h"

#include "package/ContentTypes.h"
#include "package/Package.h"
#include "sheets/Error.h"
#include "support/Corpus.h"
#include "support/Python.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

namespace fs = std::filesystem;

const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kStrictRel = "http://purl.oclc.org/ooxml/officeDocument/relationships/";

std::string rels(const std::string& body, const std::string& prefix = "") {
    const std::string tag = prefix.empty() ? "Relationships" : prefix + ":Relationships";
    const std::string ns = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<" + tag + " " + ns +
           "=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + body + "</" + tag + ">";
}

std::string rel(const std::string& id, const std::string& type, const std::string& target,
                const std::string& prefix = "") {
    const std::string tag = prefix.empty() ? "Relationship" : prefix + ":Relationship";
    return "<" + tag + " Id=\"" + id + "\" Type=\"" + type + "\" Target=\"" + target + "\"/>";
}

// A part of a workbook of that name, for failures.
xlsx::Place placeOf(const std::string& part, const fs::path& workbook = "lager.xlsx") {
    return xlsx::Place(workbook).withPart(part);
}

xlsx::ContentTypes contentTypes(std::string_view xml) {
    return xlsx::ContentTypes(xml, placeOf("[Content_Types].xml"));
}

// The part a relationships part belongs to: "xl/_rels/workbook.xml.rels" -> "xl/workbook.xml".
std::string sourceOf(const std::string& relsPart) {
    const auto at = relsPart.rfind("_rels/");
    return relsPart.substr(0, at) + relsPart.substr(at + 6, relsPart.size() - at - 6 - 5);
}

// Every internal relationship of every relationships part resolves to a part of the package.
void expectAllTargetsFound(const fs::path& path) {
    SCOPED_TRACE(path.filename().string());
    xlsx::Package package(path);
    int resolved = 0;
    for (const auto& name : package.partNames()) {
        if (!name.ends_with(".rels")) continue;
        const auto source = sourceOf(name);
        EXPECT_EQ(xlsx::Relationships::partFor(source), name);
        xlsx::Relationships relationships(source, package.read(name), placeOf(name, path));
        for (const auto& r : relationships.all()) {
            if (r.external) continue;
            EXPECT_TRUE(package.contains(relationships.resolve(r)))
                << name << " " << r.id << " -> " << relationships.resolve(r);
            ++resolved;
        }
    }
    EXPECT_GT(resolved, 2);
}

TEST(Relationships, ResolvesRelativeAbsoluteAndDottedTargets) {
    const auto xml = rels(
        rel("rId1", kRel + "worksheet", "worksheets/sheet1.xml") +
        rel("rId2", kRel + "styles", "/xl/styles.xml") +
        rel("rId3", kRel + "drawing", "../drawings/./drawing1.xml") +
        rel("rId4", kRel + "image", "../../../../media/image1.png") +
        rel("rId5", kRel + "theme", "theme//theme1.xml") + rel("rId8", kRel + "hyperlink", "#Sheet1!A1") +
        rel("rId9", kRel + "chart", "../charts/chart1.xml#top") + "<Relationship Id=\"rId6\" Type=\"" + kRel +
        "hyperlink\" Target=\"../lager.xlsx\" TargetMode=\"External\"/>");
    xlsx::Relationships sheetRels("/xl/worksheets/sheet1.xml", xml,
                                  placeOf("xl/worksheets/_rels/sheet1.xml.rels"));
    ASSERT_EQ(sheetRels.all().size(), 8u);
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId1")), "xl/worksheets/worksheets/sheet1.xml");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId2")), "xl/styles.xml");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId3")), "xl/drawings/drawing1.xml");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId4")), "media/image1.png");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId5")), "xl/worksheets/theme/theme1.xml");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId8")), "xl/worksheets/sheet1.xml");
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId9")), "xl/charts/chart1.xml");
    EXPECT_TRUE(sheetRels.byId("rId6")->external);
    EXPECT_EQ(sheetRels.resolve(*sheetRels.byId("rId6")), "../lager.xlsx");
    EXPECT_EQ(sheetRels.byId("rId7"), nullptr);

    xlsx::Relationships packageRels("", rels(rel("rId1", kRel + "officeDocument", "xl/workbook.xml")),
                                    placeOf("_rels/.rels"));
    EXPECT_EQ(packageRels.resolve(packageRels.all().front()), "xl/workbook.xml");

    EXPECT_EQ(xlsx::Relationships::partFor("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(xlsx::Relationships::partFor("/xl/worksheets/sheet2.xml"),
              "xl/worksheets/_rels/sheet2.xml.rels");
    EXPECT_EQ(xlsx::Relationships::partFor(""), "_rels/.rels");
}

TEST(Relationships, FindsTypesByLastSegmentWhateverTheNamespaceOrPrefix) {
    const auto strict = rels(rel("rId1", kStrictRel + "worksheet", "worksheets/sheet1.xml", "r") +
                                 rel("rId2", kStrictRel + "sheetMetadata", "metadata.xml", "r") +
                                 rel("rId3", kStrictRel + "sharedStrings", "sharedStrings.xml", "r"),
                             "r");
    xlsx::Relationships relationships("xl/workbook.xml", strict, placeOf("xl/_rels/workbook.xml.rels"));
    ASSERT_EQ(relationships.all().size(), 3u);
    EXPECT_EQ(relationships.byType("worksheet")->id, "rId1");
    EXPECT_EQ(relationships.byType("sharedStrings")->id, "rId3");
    EXPECT_EQ(relationships.byType("sheet"), nullptr); // "worksheet" and "sheetMetadata" are other types
    EXPECT_EQ(relationships.byType("Metadata"), nullptr);

    xlsx::Relationships transitional("", rels(rel("rId1", kRel + "officeDocument", "xl/workbook.xml")),
                                     placeOf("_rels/.rels"));
    EXPECT_EQ(transitional.byType("officeDocument")->target, "xl/workbook.xml");

    for (const auto* fixture : {"handmade/absolute-targets.xlsx", "handmade/relative-targets.xlsx",
                                "handmade/prefixed-namespaces.xlsx", "handmade/strict-namespaces.xlsx"})
        expectAllTargetsFound(testsupport::fixture(fixture));
}

TEST(Relationships, EveryCorpusTargetResolvesToAPart) {
    TULVERKAN_NEEDS_CORPUS();
    for (const auto& entry : fs::directory_iterator(testsupport::corpusFolder()))
        if (entry.path().extension() == ".xlsx") expectAllTargetsFound(entry.path());
}

TEST(Relationships, RemovesByTargetAndKeepsTheRestAsWritten) {
    const auto xml =
        rels("<!-- written by hand -->" + rel("rId1", kRel + "worksheet", "worksheets/sheet1.xml", "r") +
                 "\n  " + rel("rId2", kRel + "calcChain", "/XL/calcChain.xml", "r") +
                 rel("rId3", kRel + "styles", "styles.xml", "r") + "<r:Extra data=\"&amp;&lt;\"/>",
             "r");
    xlsx::Relationships relationships("xl/workbook.xml", xml, placeOf("xl/_rels/workbook.xml.rels"));
    EXPECT_EQ(relationships.serialize(), xml);
    EXPECT_FALSE(relationships.removeTarget("xl/missing.xml"));
    EXPECT_TRUE(relationships.removeTarget("xl/calcChain.xml"));
    EXPECT_FALSE(relationships.removeTarget("xl/calcChain.xml"));
    EXPECT_EQ(relationships.byType("calcChain"), nullptr);

    const auto written = relationships.serialize();
    EXPECT_EQ(written.find("calcChain"), std::string::npos) << written;
    for (const auto* kept : {"<!-- written by hand -->", "<r:Extra data=\"&amp;&lt;\"", "standalone=\"yes\"",
                             "xmlns:r=\"http://schemas.openxmlformats.org/package/2006/relationships\""})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << " in " << written;
    xlsx::Relationships reread("xl/workbook.xml", written, placeOf("xl/_rels/workbook.xml.rels"));
    ASSERT_EQ(reread.all().size(), 2u);
    EXPECT_EQ(reread.all()[0].id, "rId1");
    EXPECT_EQ(reread.resolve(reread.all()[1]), "xl/styles.xml");
}

// New elements must land in the part's namespace also where the part declares it with a prefix.
TEST(Relationships, AddedRelationshipsAndOverridesLandInTheirNamespace) {
    const auto xml =
        rels(rel("rId2", kRel + "worksheet", "worksheets/sheet1.xml", "r") +
                 rel("rId7", kRel + "styles", "styles.xml", "r") + rel("x9", kRel + "theme", "t.xml", "r"),
             "r");
    xlsx::Relationships relationships("xl/workbook.xml", xml, placeOf("xl/_rels/workbook.xml.rels"));
    EXPECT_EQ(relationships.add(kRel + "sharedStrings", "sharedStrings.xml"), "rId8");
    EXPECT_EQ(relationships.add(kRel + "calcChain", "calcChain.xml"), "rId9");
    EXPECT_TRUE(relationships.removeTarget("xl/calcChain.xml"));
    EXPECT_EQ(relationships.resolve(*relationships.byType("sharedStrings")), "xl/sharedStrings.xml");

    xlsx::Relationships fresh("", "", placeOf("_rels/.rels"));
    EXPECT_EQ(fresh.add(kRel + "officeDocument", "xl/workbook.xml"), "rId1");
    EXPECT_EQ(fresh.add(kRel + "hyperlink", "https://example.org/", true), "rId2");

    auto types =
        contentTypes("<t:Types xmlns:t=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                     "<t:Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                     "<t:Override PartName=\"/xl/workbook.xml\" ContentType=\"old\"/></t:Types>");
    types.setOverride("xl/sharedStrings.xml", "strings");
    types.setOverride("/XL/workbook.xml", "main");
    EXPECT_EQ(types.typeOf("xl/sharedStrings.xml"), "strings");
    EXPECT_EQ(contentTypes(types.serialize()).typeOf("xl/workbook.xml"), "main");

    testsupport::TempDir dir;
    testsupport::writeFile(dir / "workbook.xml.rels", relationships.serialize());
    testsupport::writeFile(dir / ".rels", fresh.serialize());
    testsupport::writeFile(dir / "types.xml", types.serialize());
    // Python's DOM lists each element as namespace, local name and attributes.
    auto dump = testsupport::runProcess(
        {TULVERKAN_PYTHON, "-c",
         "import sys, xml.dom.minidom as m\n"
         "for path in sys.argv[1:]:\n"
         "    for e in m.parse(path).documentElement.childNodes:\n"
         "        print(e.namespaceURI.split('/')[-1], e.localName, "
         "*sorted(f'{k}={v}' for k, v in e.attributes.items() if k not in ('Type',)))",
         (dir / "workbook.xml.rels").string(), (dir / ".rels").string(), (dir / "types.xml").string()});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_EQ(dump.out, "relationships Relationship Id=rId2 Target=worksheets/sheet1.xml\n"
                        "relationships Relationship Id=rId7 Target=styles.xml\n"
                        "relationships Relationship Id=x9 Target=t.xml\n"
                        "relationships Relationship Id=rId8 Target=sharedStrings.xml\n"
                        "relationships Relationship Id=rId1 Target=xl/workbook.xml\n"
                        "relationships Relationship Id=rId2 Target=https://example.org/ TargetMode=External\n"
                        "content-types Default ContentType=application/xml Extension=xml\n"
                        "content-types Override ContentType=main PartName=/xl/workbook.xml\n"
                        "content-types Override ContentType=strings PartName=/xl/sharedStrings.xml\n");
}

TEST(Relationships, RefusesMalformedPartsNamingThem) {
    const std::pair<std::string, std::string> cases[] = {
        {"<Relationships><Relationship Id=\"rId1\"</Relationships>", "ugyldig XML ("},
        {"<Types/>", "delen er ikke en liste over relasjoner"},
    };
    for (const auto& [bad, cause] : cases) {
        try {
            xlsx::Relationships relationships("xl/workbook.xml", bad, placeOf("xl/_rels/workbook.xml.rels"));
            ADD_FAILURE() << bad;
        } catch (const sheets::Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(
                          "Kan ikke lese «xl/_rels/workbook.xml.rels» i «lager.xlsx»: " + cause, 0),
                      0u)
                << e.what();
        }
    }
    EXPECT_TRUE(
        xlsx::Relationships("xl/workbook.xml", "", placeOf("xl/_rels/workbook.xml.rels")).all().empty());
    EXPECT_THROW(contentTypes("<Types"), sheets::Error);
}

TEST(ContentTypes, TypesComeFromOverridesThenDefaultsForEveryCorpusPart) {
    TULVERKAN_NEEDS_CORPUS();
    for (const auto& entry : fs::directory_iterator(testsupport::corpusFolder())) {
        if (entry.path().extension() != ".xlsx") continue;
        SCOPED_TRACE(entry.path().filename().string());
        xlsx::Package package(entry.path());
        auto types = contentTypes(package.read("[Content_Types].xml"));
        for (const auto& name : package.partNames())
            EXPECT_TRUE(name == "[Content_Types].xml" || !types.typeOf(name).empty()) << name;
        EXPECT_EQ(types.typeOf("XL/WORKBOOK.XML"), types.typeOf("/xl/workbook.xml"));
        EXPECT_NE(types.typeOf("xl/workbook.xml").find("sheet.main+xml"), std::string::npos);
        EXPECT_EQ(types.typeOf("xl/worksheets/noextension"), "");
    }
}

// Drops calcChain the way the engine does after a change, and lets openpyxl read the result.
TEST(ContentTypes, RemovedOverrideAndRelationshipGiveAWorkbookOthersOpen) {
    TULVERKAN_NEEDS_CORPUS();
    testsupport::TempDir dir;
    auto path = dir.copy(testsupport::corpus("tutorial01.xlsx"));
    {
        xlsx::Package package(path);
        auto types = contentTypes(package.read("[Content_Types].xml"));
        ASSERT_FALSE(types.typeOf("xl/calcChain.xml").empty());
        EXPECT_TRUE(types.removeOverride("/xl/calcChain.xml"));
        EXPECT_FALSE(types.removeOverride("xl/calcChain.xml"));
        EXPECT_EQ(types.typeOf("xl/calcChain.xml"), types.typeOf("xl/other.xml")); // now the xml Default
        EXPECT_EQ(contentTypes(types.serialize()).typeOf("xl/calcChain.xml"), types.typeOf("x.xml"));

        xlsx::Relationships relationships("xl/workbook.xml", package.read("xl/_rels/workbook.xml.rels"),
                                          placeOf("xl/_rels/workbook.xml.rels"));
        ASSERT_TRUE(relationships.removeTarget("xl/calcChain.xml"));
        package.write("xl/_rels/workbook.xml.rels", relationships.serialize());
        package.write("[Content_Types].xml", types.serialize());
        package.remove("xl/calcChain.xml");
        package.save();
    }
    EXPECT_EQ(testsupport::openpyxlDump(path),
              testsupport::openpyxlDump(testsupport::corpus("tutorial01.xlsx")));
    auto check = testsupport::runProcess(
        {TULVERKAN_PYTHON, "-c",
         "import sys, zipfile, xml.dom.minidom as m; z = zipfile.ZipFile(sys.argv[1]); "
         "[m.parseString(z.read(n)) for n in ('[Content_Types].xml', 'xl/_rels/workbook.xml.rels')]; "
         "print(sum(b'calcChain' in z.read(n) for n in z.namelist()), 'calcChain' in ' '.join(z.namelist()))",
         path.string()});
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "0 False\n");
}

} // namespace
