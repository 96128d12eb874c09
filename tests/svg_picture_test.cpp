// The pictures "hostsim run --svg" draws: well-formed XML whatever bytes the
// names hold, integer coordinates only, and, for the user guide, exactly the
// bytes committed under docs/commands. The suite runs natively and under Wine
// against the DLL, so both draw the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/cli/svg_view.h"
#include "tests/support/process.h"
#include "tests/support/xml_check.h"

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";
const std::string kEllipsis = "\xE2\x80\xA6";

struct TextCase {
  std::string bytes;
  std::size_t longest;
  std::string xml;
};

TEST(SvgText, NamesAreEscapedCutBetweenCharactersAndAlwaysDecodable) {
  const std::string r = kReplacement;
  const TextCase cases[] = {
      {"Arm.L", 24, "Arm.L"},
      {"a&b<c>\"d'e", 24, "a&amp;b&lt;c&gt;&quot;d&#39;e"},
      {"x]]>&amp;", 24, "x]]&gt;&amp;amp;"},
      {"caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80", 24, "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"},
      // Control characters, and the characters XML forbids or nobody sees.
      {std::string("a\0b", 3), 24, "a" + r + "b"},
      {"tab\there\nline\r", 24, "tab" + r + "here" + r + "line" + r},
      {"\x01\x1F\x7F", 24, r + r + r},
      {"\xC2\x85", 24, r},
      {"\xEF\xBF\xBE\xEF\xBF\xBF", 24, r + r},
      // Bytes that are not UTF-8 show as the text output shows them; in such
      // a name, a backslash that would read as an escape is escaped itself.
      {"bad\xFF\xFE", 24, "bad\\xFF\\xFE"},
      {"cut\xC3", 24, "cut\\xC3"},
      {"\xC3(", 24, "\\xC3("},
      {"\x80\xBF", 24, "\\x80\\xBF"},
      {"\xC0\xAF", 24, "\\xC0\\xAF"},                    // overlong '/'
      {"\xE0\x80\xAF", 24, "\\xE0\\x80\\xAF"},           // overlong, three bytes
      {"\xED\xA0\x80", 24, "\\xED\\xA0\\x80"},           // a surrogate
      {"\xF4\x90\x80\x80", 24, "\\xF4\\x90\\x80\\x80"},  // past U+10FFFF
      {"a\\x41 \\x4 \\", 24, "a\\x41 \\x4 \\"},
      {"a\\x41 \\x4 \\\xFF", 24, "a\\x5Cx41 \\x4 \\\\xFF"},
      // Cut to the limit with an ellipsis, never inside a character.
      {"abcde", 5, "abcde"},
      {"abcdef", 5, "abcd" + kEllipsis},
      {"\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 4, "\xC3\xA9\xC3\xA9\xC3\xA9" + kEllipsis},
      {"ab\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 4, "ab\xF0\x9F\x98\x80" + kEllipsis},
      {"&&&&&&", 3, "&amp;&amp;" + kEllipsis},
      {"\xFF\xFF\xFF\xFF", 6, "\\xFF" + kEllipsis},  // never inside an escape
      {"abc", 0, ""},
  };
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    SCOPED_TRACE("case " + std::to_string(index));
    EXPECT_EQ(hostsim::XmlText(cases[index].bytes, cases[index].longest), cases[index].xml);
  }
}

bool IsInteger(const std::string& text) {
  const std::size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
  return text.size() > start && text.find_first_not_of("0123456789", start) == std::string::npos;
}

// Well-formed, an SVG 1.1 root, every coordinate and size an integer, nothing
// linked or run. Empty when the picture is all that.
std::string PictureProblem(const std::string& svg) {
  const qztest::XmlDocument document = qztest::ReadXml(svg);
  if (!document.problem.empty()) return document.problem;
  const qztest::XmlElement& root = document.elements.front();
  const auto has = [&root](const char* name, const char* value) {
    return std::find(root.attributes.begin(), root.attributes.end(),
                     std::pair<std::string, std::string>(name, value)) != root.attributes.end();
  };
  if (root.name != "svg" || !has("xmlns", "http://www.w3.org/2000/svg") || !has("version", "1.1"))
    return "the root is not an SVG 1.1 <svg> element";
  const std::set<std::string> numeric = {"x", "y", "width", "height", "rx", "font-size"};
  for (const qztest::XmlElement& element : document.elements) {
    if (element.name == "script") return "a script";
    for (const auto& [name, value] : element.attributes) {
      const std::string written =
          std::string("<").append(element.name).append(" ").append(name).append("=\"").append(value).append("\">");
      if (name.find("href") != std::string::npos) return "a link: " + written;
      if (numeric.count(name) != 0 && !IsInteger(value)) return written + " is not an integer";
      if (name == "viewBox") {
        std::istringstream numbers(value);
        std::string number;
        while (numbers >> number) {
          if (!IsInteger(number)) return "viewBox \"" + value + "\" is not in integers";
        }
      }
    }
  }
  return "";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

hostsim::RunPicture Picture(const std::string& command, std::vector<std::uint32_t> before,
                            std::vector<std::uint32_t> after) {
  hostsim::RunPicture run;
  run.command = command;
  run.marks = {std::move(before), std::move(after)};
  run.result.code = 0;
  return run;
}

TEST(SvgPicture, EveryByteInANameOrLineStillGivesWellFormedXml) {
  hostsim::Scene scene;
  std::vector<std::uint32_t> all;
  for (int first = 0; first < 256; first += 16) {
    std::string name = "n";
    for (int byte = first; byte < first + 16; ++byte) name += static_cast<char>(byte);
    all.push_back(scene.AddNull(name, all.empty() ? 0 : all.back()));
  }
  const std::uint32_t quoted = scene.AddNull("a&b<c>\"d'e ]]>");
  hostsim::RunPicture run = Picture("QZ_<&>", {quoted}, all);
  run.result.lines = {"SelectItem <&\"'>", std::string("\x01\xFF\0", 3)};
  run.result.messages = {{"Not <Found>", std::string("a&b")}};
  run.result.protocolErrors = {"line \"x<y\" & worse"};
  hostsim::PanelRecord panel;
  panel.title = "Pick <&>";
  hostsim::ControlRecord field;
  field.typeName = "EditControl";
  field.text = "*<&\"\xFF";
  panel.controls.push_back(field);
  panel.openResult = 1;
  run.panel = panel;

  const std::string svg = hostsim::DrawRunSvg(scene, run);
  EXPECT_EQ(PictureProblem(svg), "");
  EXPECT_TRUE(Contains(svg, ">a&amp;b&lt;c&gt;&quot;d&#39;e ]]&gt;</text>")) << svg;
  EXPECT_TRUE(Contains(svg, "SelectItem &lt;&amp;&quot;&#39;&gt;</text>"));
  EXPECT_TRUE(Contains(svg, "message: Not &lt;Found&gt; / a&amp;b</text>"));
  EXPECT_TRUE(Contains(svg, "protocol error: line &quot;x&lt;y&quot; &amp; worse</text>"));
  EXPECT_TRUE(Contains(svg,
                       "panel &quot;Pick &lt;&amp;&gt;&quot;: kind none, pattern &quot;*&lt;&amp;&quot;\\xFF&quot;, "
                       "confirmed</text>"));
}

TEST(SvgPicture, DeepTreesStopIndentingAndSayHowMuchDeeper) {
  const auto chain = [](int depth) {
    hostsim::Scene scene;
    std::uint32_t parent = 0;
    for (int level = 0; level <= depth; ++level) parent = scene.AddNull("item", parent);
    return hostsim::DrawRunSvg(scene, Picture("QZ_Sel_Child", {parent}, {}));
  };
  const std::string deep = chain(40), deeper = chain(115);
  EXPECT_EQ(PictureProblem(deep), "");
  EXPECT_TRUE(Contains(deep, "+24 </tspan>item</text>")) << deep;
  EXPECT_TRUE(Contains(deeper, "+99 </tspan>item</text>"));
  const auto width = [](const std::string& svg) { return svg.substr(svg.find(" width=\""), 14); };
  EXPECT_EQ(width(deep), width(deeper)) << "the picture grows with the depth";
}

TEST(SvgPicture, AnEmptySceneIsSaidSo) {
  const std::string svg = hostsim::DrawRunSvg(hostsim::Scene(), Picture("QZ_Sel_AllNulls", {}, {}));
  EXPECT_EQ(PictureProblem(svg), "");
  EXPECT_TRUE(Contains(svg, ">(the scene is empty)</text>"));
  EXPECT_TRUE(Contains(svg, "with nothing selected"));
}

// Names from a scene file, through the real module and the command line.
TEST(SvgPicture, HostileNamesFromASceneFileThroughTheModule) {
  const std::string scene = qztest::WriteTemporaryFile(
      "hostile.lws",
      "LWSC\n5\n\nAddNullObject 10000000 a&b<c>\"d'e ]]> &amp;\n"
      "AddNullObject 10000001 bad\xFF\xFE\xC3 \xED\xA0\x80\ttab\nParentItem 10000000\n"
      "AddNullObject 10000002 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE5\x90\x8D\xE5\x89\x8D "
      "long enough to be cut somewhere\nParentItem 10000000\nCurrentObject 0\n");
  const std::string picture = qztest::WriteTemporaryFile("hostile.svg", "");
  std::ostringstream out, err;
  hostsim::Console console{out, err, false};
  ASSERT_EQ(hostsim::RunCommandLine({"run", "QZ_Sel_Child", "--scene", scene, "--select", "10000000", "--svg", picture},
                                    console),
            0)
      << err.str();
  const std::string svg = qztest::ReadFile(picture);
  EXPECT_EQ(PictureProblem(svg), "");
  EXPECT_TRUE(Contains(svg, ">a&amp;b&lt;c&gt;&quot;d&#39;e ]]&gt; &amp;amp;</text>")) << svg;
  // Cut before an escape that would not fit whole.
  EXPECT_TRUE(Contains(svg, ">bad\\xFF\\xFE\\xC3 \\xED" + kEllipsis + "</text>"));
  EXPECT_TRUE(Contains(svg, "\xE5\x89\x8D long enough to b" + kEllipsis + "</text>"));
  std::remove(scene.c_str());
  std::remove(picture.c_str());
}

#if !defined(_WIN32)
TEST(SvgPicture, AWriteThatFailsLateIsReportedWithTheSystemsReason) {
  std::ostringstream out, err;
  hostsim::Console console{out, err, false};
  EXPECT_EQ(hostsim::RunCommandLine({"run", "QZ_Sel_Child", "--select", "Controls", "--svg", "/dev/full"}, console), 2);
  EXPECT_EQ(err.str(), "hostsim run: cannot write the picture '/dev/full': No space left on device\n");
  EXPECT_EQ(out.str(), "");
}
#endif

TEST(SvgPicture, AFileThatCannotBeOpenedIsNamedWithTheSystemsReason) {
  const std::string prefix = "hostsim run: cannot write the picture 'no_such_folder/picture.svg': ";
  const qztest::ProcessResult result = qztest::RunProgram(
      qztest::HostsimPath(), {"run", "QZ_Sel_Child", "--select", "Controls", "--svg", "no_such_folder/picture.svg"});
  EXPECT_EQ(result.status, 2);
  ASSERT_EQ(result.err.compare(0, prefix.size(), prefix), 0) << result.err;
  EXPECT_GT(result.err.size(), prefix.size() + 1) << "no reason given";
  EXPECT_EQ(result.out, "");
}

// ---- the user guide's pictures ----------------------------------------------
//
// Redrawn by scripts/docs-pictures.sh from docs/commands/tour.txt.

const std::string kDocsFolder = qztest::SourceFolder() + "/docs/commands/";

struct DocsStep {
  std::string command;
  std::vector<std::string> arguments;  // for "hostsim run"
};

// As "hostsim tour" reads a tour: a step a line, "#" lines and blank lines
// skipped, double quotes keeping spaces inside a word.
std::vector<DocsStep> DocsTour() {
  std::vector<DocsStep> steps;
  std::istringstream lines(qztest::ReadFile(kDocsFolder + "tour.txt"));
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    DocsStep step;
    std::string word;
    bool quoted = false, inWord = false;
    for (const char c : line.substr(start)) {
      if (c == '"') {
        quoted = !quoted;
        inWord = true;
      } else if (!quoted && (c == ' ' || c == '\t' || c == '\r')) {
        if (inWord) step.arguments.push_back(word);
        word.clear();
        inWord = false;
      } else {
        word += c;
        inWord = true;
      }
    }
    if (inWord) step.arguments.push_back(word);
    step.command = step.arguments.front();
    steps.push_back(step);
  }
  return steps;
}

TEST(DocsPictures, OnePicturePerCommand) {
  const std::set<std::string> commands = {
      "QZ_Sel_Child",      "QZ_Add_Child",     "QZ_Sel_Sibling",  "QZ_Sel_Throwback",  "QZ_Sel_Parent", "QZ_Add_Parent",
      "QZ_Sel_Descendant", "QZ_Sel_Hierarchy", "QZ_Sel_AllNulls", "QZ_Sel_AllObjects", "QZ_Sel_ByName"};
  std::multiset<std::string> stepped;
  for (const DocsStep& step : DocsTour()) stepped.insert(step.command);
  EXPECT_EQ(std::set<std::string>(stepped.begin(), stepped.end()), commands);
  EXPECT_EQ(stepped.size(), commands.size()) << "a command has two steps, and one picture";
  std::set<std::string> pictures;
  for (const auto& entry : std::filesystem::directory_iterator(kDocsFolder)) {
    if (entry.path().extension() == ".svg") pictures.insert(entry.path().stem().string());
  }
  EXPECT_EQ(pictures, commands);
}

TEST(DocsPictures, EachCommittedPictureIsWhatTheBuildDraws) {
  for (const DocsStep& step : DocsTour()) {
    SCOPED_TRACE(step.command);
    const std::string drawn = qztest::WriteTemporaryFile("docs_" + step.command + ".svg", "");
    std::vector<std::string> arguments = {"run", "--svg", drawn};
    arguments.insert(arguments.end(), step.arguments.begin(), step.arguments.end());
    std::ostringstream out, err;
    hostsim::Console console{out, err, false};
    EXPECT_EQ(hostsim::RunCommandLine(arguments, console), 0) << err.str();
    const std::string svg = qztest::ReadFile(drawn);
    std::remove(drawn.c_str());
    EXPECT_EQ(PictureProblem(svg), "");
    EXPECT_TRUE(svg == qztest::ReadFile(kDocsFolder + step.command + ".svg"))
        << "docs/commands/" << step.command
        << ".svg is not what the build draws; if the change is intended, run scripts/docs-pictures.sh and review "
           "the pictures";
  }
}

TEST(DocsPictures, TheProgramWritesTheSameBytes) {
  const DocsStep step = DocsTour().front();
  const std::string drawn = qztest::WriteTemporaryFile("program_" + step.command + ".svg", "");
  std::vector<std::string> arguments = {"run", "--svg", drawn};
  arguments.insert(arguments.end(), step.arguments.begin(), step.arguments.end());
  const qztest::ProcessResult result = qztest::RunProgram(qztest::HostsimPath(), arguments);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(qztest::ReadFile(drawn) == qztest::ReadFile(kDocsFolder + step.command + ".svg"));
  std::remove(drawn.c_str());
}

}  // namespace
