// The translated data files: catalogues read as gettext reads them, translations put in place of
// the English with the English as fallback, the language chosen from the environment, and the
// data file of that language found beside the module.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/ui_text_table.h"
#include "platform/system/language.h"
#include "tests/text_table/temp_files.h"
#include "tools/datc/catalogue.h"
#include "tools/datc/data_source.h"
#include "tools/datc/manual_summary.h"

namespace {

using TranslationTest = TempDirTest;

constexpr const char* kSource =
    "[texts]\n"
    "100 Next >\n"
    "500 \"Pane line\\nwith a break \"\n"
    "501 Untranslated\n"
    "[functions]\n"
    "1:1 | Media settings | util.so\n"
    "2:1 | Media settings | altutil.so\n"
    "[printer-models]\n"
    "1:0 | ARVEN WL-4000\n";

datc::Catalogue Parsed(const std::string& po) {
    datc::Catalogue catalogue;
    EXPECT_TRUE(catalogue.Parse("de.po", po)) << ::testing::PrintToString(catalogue.Errors());
    return catalogue;
}

TEST(Catalogue, EntriesAreFoundByContextAndEnglishAsGettextFindsThem) {
    const datc::Catalogue catalogue = Parsed(
        "# header\nmsgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
        "msgctxt \"util:100\"\nmsgid \"Next >\"\nmsgstr \"Weiter >\"\n\n"
        "msgctxt \"util:500\"\nmsgid \"\"\n\"Pane line\\n\"\n\"with a break \"\n"
        "msgstr \"\"\n\"Zeile\\n\"\n\"mit \\\"Umbruch\\\" \"\n\n"
        "#, fuzzy\nmsgctxt \"util:501\"\nmsgid \"Untranslated\"\nmsgstr \"Unsicher\"\n\n"
        "msgctxt \"util:502\"\nmsgid \"Empty\"\nmsgstr \"\"\n\n"
        "msgid \"%1 line\"\nmsgid_plural \"%1 lines\"\nmsgstr[0] \"%1 Zeile\"\n"
        "msgstr[1] \"%1 Zeilen\"\n");
    EXPECT_EQ(catalogue.Find("util:100", "Next >"), "Weiter >");
    EXPECT_EQ(catalogue.Find("util:500", "Pane line\nwith a break "), "Zeile\nmit \"Umbruch\" ");
    EXPECT_EQ(catalogue.Find("selhub:100", "Next >"), std::nullopt);      // another module's text
    EXPECT_EQ(catalogue.Find("util:100", "Next"), std::nullopt);          // the English changed
    EXPECT_EQ(catalogue.Find("util:501", "Untranslated"), std::nullopt);  // fuzzy
    EXPECT_EQ(catalogue.Find("util:502", "Empty"), std::nullopt);
    EXPECT_EQ(catalogue.Find("", ""), std::nullopt);         // the header is no translation
    EXPECT_EQ(catalogue.Find("", "%1 line"), std::nullopt);  // the CLI's, with plural forms
}

TEST(Catalogue, MalformedLinesAreReportedWithTheirLine) {
    datc::Catalogue catalogue;
    EXPECT_FALSE(catalogue.Parse("de.po", "msgid \"a\"\nmsgstr \"b\n\"orphan\\q\"\n"));
    ASSERT_EQ(catalogue.Errors().size(), 2u);
    EXPECT_EQ(catalogue.Errors()[0], "de.po:2: expected a quoted string");
    EXPECT_EQ(catalogue.Errors()[1], "de.po:3: expected a quoted string");
}

TEST(Catalogue, RecordLineBreaksAreCatalogueLineBreaks) {
    EXPECT_EQ(datc::CatalogueText("a\\nb\\n"), "a\nb\n");
    EXPECT_EQ(datc::RecordText("a\nb\n"), "a\\nb\\n");
    EXPECT_EQ(datc::PoQuoted("say \"hi\"\\\n"), "\"say \\\"hi\\\"\\\\\\n\"");
}

TEST_F(TranslationTest, TranslatedFileKeepsEnglishWhereTheCatalogueLacksATextAndLoadsBack) {
    datc::DataSource data(datc::Kind::Hub);
    ASSERT_TRUE(data.AddSource("resources/selhub/hub.txt", kSource, "selhub"));
    const std::string pot = data.Template();
    const datc::Catalogue catalogue = Parsed(
        "msgctxt \"selhub:100\"\nmsgid \"Next >\"\nmsgstr \"次へ >\"\n"
        "msgctxt \"selhub:500\"\nmsgid \"Pane line\\nwith a break \"\nmsgstr \"行\\n改行 \"\n"
        "msgctxt \"selhub:function\"\nmsgid \"Media settings\"\nmsgstr \"用紙設定\"\n");
    data.Translate(catalogue, "ja.po", "ja", false);
    ASSERT_TRUE(data.Errors().empty()) << ::testing::PrintToString(data.Errors());

    HubTables tables;
    tables.Load(Write("selhub.ja.dat", data.Encode()));
    ASSERT_TRUE(tables.Complete());
    EXPECT_EQ(tables.GetText(100), "次へ >");
    EXPECT_EQ(tables.GetText(500), "行\n改行 ");
    EXPECT_EQ(tables.GetText(501), "Untranslated");
    EXPECT_EQ(tables.FunctionName(1), "用紙設定");
    EXPECT_EQ(tables.FunctionFile(1), "altutil.so");
    EXPECT_EQ(tables.PrinterModelDriver(0), "ARVEN WL-4000");  // data, never translated

    // The template lists each English text once, and a function name once per module.
    EXPECT_NE(pot.find("msgctxt \"selhub:500\"\nmsgid \"Pane line\\nwith a break \"\n"),
              std::string::npos);
    EXPECT_EQ(pot.find("Media settings"), pot.rfind("Media settings"));
}

TEST_F(TranslationTest, TranslationsThatDoNotFitOrAreIncompleteNameTextAndLanguage) {
    struct Case {
        std::string translation;  // of text 500
        bool complete;
        std::string error;  // "" when none
    };
    const std::string fits = std::string(62, 'x') + "\\n" + std::string(62, 'y') + " ";
    const std::string japanese = "日本語の文" + std::string(111, 'x') + " ";  // 127 bytes
    const std::vector<Case> cases = {
        {fits, true, ""},  // 127 bytes stored: \n takes two
        {japanese, true, ""},
        {"x" + japanese, true,
         "ja.po: selhub:500: text 500 (ja) is 128 bytes long; at most 127 fit"},
        {"Zeile ohne Ende", true,
         "ja.po: selhub:500: text 500 (ja) must end as the English does, with \" \""},
        {"Zeile ohne Ende", false, ""},
    };
    for (const Case& c : cases) {
        datc::DataSource data(datc::Kind::Texts);
        ASSERT_TRUE(data.AddSource(
            "hub.txt", "[texts]\n500 \"Pane line\\nwith a break \"\n105 a|*.x|\n", "selhub"));
        data.Translate(Parsed("msgctxt \"selhub:500\"\nmsgid \"Pane line\\nwith a break \"\n"
                              "msgstr \"" +
                              c.translation +
                              "\"\n"
                              "msgctxt \"selhub:105\"\nmsgid \"a|*.x|\"\nmsgstr \"b|*.x|\"\n"),
                       "ja.po", "ja", c.complete);
        const std::vector<std::string> expected =
            c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error};
        EXPECT_EQ(data.Errors(), expected) << c.translation;
    }

    datc::DataSource data(datc::Kind::Texts);
    ASSERT_TRUE(data.AddSource("hub.txt", "[texts]\n105 a|*.x|\n106 b\n", "selhub"));
    data.Translate(Parsed("msgctxt \"selhub:105\"\nmsgid \"a|*.x|\"\nmsgstr \"b *.x|\"\n"), "de.po",
                   "de", true);
    EXPECT_EQ(data.Errors(),
              (std::vector<std::string>{
                  "de.po: selhub:105: text 105 (de) must keep the English number of '|'",
                  "de.po: selhub:106: text 106 (de) is not translated"}));
}

TEST(ManualSummary, OnlyTheNameLinesSummaryIsTranslatedAndItStaysOneLine) {
    const std::string page =
        "tool(1)\n\n# NAME\n\ntool - cleans - and checks\n\n# DESCRIPTION\n\ncleans\n";
    datc::ManualSummary manual;
    ASSERT_TRUE(manual.Parse("man/tool.1.scd", page));
    EXPECT_EQ(manual.Template(),
              "#: man/tool.1.scd:5\nmsgctxt \"manual:tool.1\"\nmsgid \"cleans - and checks\"\n"
              "msgstr \"\"\n\n");
    EXPECT_EQ(manual.Translated(Parsed("msgctxt \"manual:tool.1\"\nmsgid \"cleans - and checks\"\n"
                                       "msgstr \"reinigt und prüft\"\n"),
                                "de.po", true),
              "tool(1)\n\n# NAME\n\ntool - reinigt und prüft\n\n# DESCRIPTION\n\ncleans\n");
    EXPECT_TRUE(manual.Errors().empty());

    // Missing (an error only when the catalogue must be complete) or broken over lines.
    EXPECT_EQ(manual.Translated(Parsed(""), "de.po", false), page);
    EXPECT_TRUE(manual.Errors().empty());
    manual.Translated(Parsed(""), "de.po", true);
    manual.Translated(Parsed("msgctxt \"manual:tool.1\"\nmsgid \"cleans - and checks\"\n"
                             "msgstr \"reinigt\\nund prüft\"\n"),
                      "de.po", false);
    EXPECT_EQ(manual.Errors(),
              (std::vector<std::string>{"man/tool.1.scd:5: de.po does not translate the summary",
                                        "man/tool.1.scd:5: the summary in de.po is not one line"}));

    for (const char* broken :
         {"tool(1)\n\n# DESCRIPTION\n\ntool - x\n", "# NAME\n\ntool -\n", "# NAME\n\n - x\n"}) {
        datc::ManualSummary without;
        EXPECT_FALSE(without.Parse("t.1.scd", broken)) << broken;
        EXPECT_EQ(without.Errors().size(), 1u);
    }
}

TEST(Language, WantedLanguagesFollowGettextsOrder) {
    using Environment = std::map<std::string, std::string>;
    struct Case {
        Environment environment;
        std::vector<std::string> wanted;
    };
    const std::vector<Case> cases = {
        {{}, {}},
        {{{"LANG", "de_DE.UTF-8"}}, {"de_DE", "de"}},
        {{{"LANG", "de_DE.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}}, {"ja_JP", "ja"}},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}, {"ja_JP", "ja"}},
        {{{"LANGUAGE", "fr:de"}, {"LANG", "ja_JP.UTF-8"}}, {"fr", "de"}},
        {{{"LANGUAGE", "ja"}}, {"ja"}},  // no locale set: LANGUAGE alone still counts
        {{{"LANGUAGE", "de"}, {"LC_ALL", "C"}}, {}},
        {{{"LANGUAGE", "de"}, {"LANG", "POSIX"}}, {}},
        {{{"LANGUAGE", "de"}, {"LANG", "C.UTF-8"}}, {"de"}},
        {{{"LANG", "C.UTF-8"}}, {}},
        {{{"LANGUAGE", "en_GB:de"}}, {"en_GB", "en"}},
        {{{"LANGUAGE", "sv_FI@euro::de:de_AT"}}, {"sv_FI", "sv", "de", "de_AT"}},
        {{{"LANGUAGE", ""}, {"LANG", "ja_JP.eucJP"}}, {"ja_JP", "ja"}},
    };
    for (const Case& c : cases) {
        const auto variable = [&](const char* name) -> const char* {
            const auto found = c.environment.find(name);
            return found == c.environment.end() ? nullptr : found->second.c_str();
        };
        EXPECT_EQ(sys::WantedLanguages(variable), c.wanted)
            << ::testing::PrintToString(c.environment);
    }
}

TEST_F(TranslationTest, ModuleReadsTheFirstWantedLanguageItHasElseEnglish) {
    const std::string module = PathOf("util.so");
    Write("util.dat", std::string("en"));
    Write("util.de.dat", std::string("de"));
    Write("util.ja_JP.dat", std::string("ja"));
    using Languages = std::vector<std::string>;
    EXPECT_EQ(LocalizedDataFilePath(module, Languages{"fr", "de"}), PathOf("util.de.dat"));
    EXPECT_EQ(LocalizedDataFilePath(module, Languages{"ja_JP", "ja"}), PathOf("util.ja_JP.dat"));
    EXPECT_EQ(LocalizedDataFilePath(module, Languages{"fr"}), PathOf("util.dat"));
    EXPECT_EQ(LocalizedDataFilePath(module, Languages{"en", "de"}), PathOf("util.dat"));
    EXPECT_EQ(LocalizedDataFilePath(module, Languages{}), PathOf("util.dat"));
}

}  // namespace
