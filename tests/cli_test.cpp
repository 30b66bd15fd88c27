// The command-line tool: its output formats, row filter and file gathering
// directly, and the built program end to end on builder-made files and on
// the real corpus.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/resulttable.h"
#include "cli/clicore.h"
#include "testkit/jwbuilder.h"
#include "text/codec.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::string Sjis(const char* Utf8) {
  return Utf8ToCp932(Utf8).value();
}

std::string ReadText(const fs::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& Text) {
  std::vector<std::string> out;
  std::istringstream in(Text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A temporary folder per test.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("quillon-cli-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // A drawing (or figure) file with one definition per name.
  std::string Write(const fs::path& Rel, const std::vector<std::string>& Names, bool Figure = false,
                    int32_t Version = 700) {
    jwb::Drawing d(Version);
    d.Line();
    int32_t n = 1;
    for (const std::string& name : Names) d.Def(n++, name).Line();
    const fs::path path = Dir / Rel;
    fs::create_directories(path.parent_path());
    jwb::WriteFile(path.string(), Figure ? d.JwsBytes() : d.JwwBytes());
    return path.string();
  }

  fs::path Dir;
};

// ---------------------------------------------------------------------------
// Output formats

TEST(CliFormat, CsvFieldQuoting) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"line1\nline2", "\"line1\nline2\""},
      {"cr\rhere", "\"cr\rhere\""},
      {"\"", "\"\"\"\""},
      {"tab\tok", "tab\tok"},
      {"片開き戸", "片開き戸"},
  };
  for (const auto& c : cases) EXPECT_EQ(qcli::CsvField(c.in), c.out) << c.in;
}

TEST(CliFormat, TsvFieldKeepsRowsOnOneLine) {
  EXPECT_EQ(qcli::TsvField("a,b \"c\""), "a,b \"c\"");
  EXPECT_EQ(qcli::TsvField("x\ty\nz\r"), "x\\ty\\nz\\r");
  EXPECT_EQ(qcli::TsvField("C:\\dir"), "C:\\dir");
}

TEST(CliFormat, WriterFramesEachFormat) {
  const qcli::TRow rows[] = {{"a,b.jww", "/x/a,b.jww", "片開き戸"},
                             {"c.jws", "/y/c.jws", "say \"x\""}};
  auto render = [&](qcli::TOutputFormat f, size_t n) {
    std::ostringstream out;
    qcli::TRowWriter w(out, f);
    w.Begin();
    for (size_t i = 0; i < n; ++i) w.Row(rows[i]);
    w.End();
    return out.str();
  };
  EXPECT_EQ(render(qcli::TOutputFormat::Tsv, 2),
            "a,b.jww\t/x/a,b.jww\t片開き戸\nc.jws\t/y/c.jws\tsay \"x\"\n");
  EXPECT_EQ(render(qcli::TOutputFormat::Csv, 2),
            "\"a,b.jww\",\"/x/a,b.jww\",片開き戸\r\nc.jws,/y/c.jws,\"say \"\"x\"\"\"\r\n");
  EXPECT_EQ(render(qcli::TOutputFormat::Tsv, 0), "");

  const std::string json = render(qcli::TOutputFormat::Json, 2);
  EXPECT_EQ(json.substr(0, json.find('\n', 2)),
            "[\n{\"file\":\"a,b.jww\",\"path\":\"/x/a,b.jww\","
            "\"block\":\"片開き戸\"},");
  const auto parsed = nlohmann::json::parse(json);
  ASSERT_EQ(parsed.size(), 2u);
  EXPECT_EQ(parsed[1]["block"], "say \"x\"");
  EXPECT_EQ(nlohmann::json::parse(render(qcli::TOutputFormat::Json, 0)), nlohmann::json::array());
}

TEST(CliFormat, JsonReplacesBytesThatAreNotUtf8) {
  std::ostringstream out;
  qcli::TRowWriter w(out, qcli::TOutputFormat::Json);
  w.Begin();
  w.Row({"\xff.jww", "/d/\xff.jww", "b"});
  w.End();
  const auto parsed = nlohmann::json::parse(out.str());
  EXPECT_EQ(parsed[0]["file"], "\xEF\xBF\xBD.jww");
}

// ---------------------------------------------------------------------------
// --find

TEST(CliFilter, MatchesLikeTheResultsWindow) {
  const struct {
    const char* find;
    const char* name;
    bool match;
  } cases[] = {
      {"ﾌﾛｯｸ", "ふろっく", true},
      {"ﾌﾛｯｸ", "フロック", true},
      {"a", "ABC", true},
      {"a", "ＡＢＣ", true},
      {"x", "2×4", true},
      {"ｽﾁｰﾙ", "スチール棚", true},
      {"すちーる", "ｽﾁｰﾙ棚", true},
      {"ガ", "ｶﾞﾗｽ戸", true},
      {"w-1800", "Ｗ－１８００ｘ９００", true},
      {"w 1800", "W-1800x900", false},
      {"片開き", "片開き戸", true},
      {"両開き", "片開き戸", false},
      {"", "anything", false},
      {"   ", "a b", false},
      {"　", "a　b", false},
      {"abc", "", false},
  };
  for (const auto& c : cases) {
    qcli::TBlockFilter f(c.find);
    EXPECT_FALSE(f.Unrepresentable());
    EXPECT_EQ(f.Matches(Sjis(c.name)), c.match) << c.find << " in " << c.name;
  }
}

TEST(CliFilter, NoTextKeepsAllAndForeignTextKeepsNone) {
  qcli::TBlockFilter none;
  EXPECT_TRUE(none.Matches(""));
  EXPECT_TRUE(none.Matches("x"));
  for (const char* foreign : {"😀", "a😀", "\xff"}) {
    qcli::TBlockFilter f(foreign);
    // Bytes that are not UTF-8 are said as such, not as a foreign character.
    const bool utf8 = std::string_view(foreign) != "\xff";
    EXPECT_EQ(f.Unrepresentable(), utf8) << foreign;
    EXPECT_EQ(f.NotUtf8(), !utf8) << foreign;
    EXPECT_FALSE(f.Matches("a")) << foreign;
    EXPECT_FALSE(f.Matches("")) << foreign;
  }
}

// ---------------------------------------------------------------------------
// Gathering files

class CliCollect : public TempDirTest {};

TEST_F(CliCollect, FoldersAreSearchedOnlyWithRecursive) {
  for (const char* rel : {"lib/b.JWW", "lib/a.jws", "lib/sub/c.Jws", "lib/note.txt", "lib/x.jw",
                          "lib/sub/deeper/d.jww", "lib/A.jww"})
    Write(rel, {"n"});
  fs::create_directories(Dir / "lib/empty");
  fs::create_symlink(Dir / "lib", Dir / "lib/sub/loop");
  const std::string lib = (Dir / "lib").string();
  const std::string lone = (Dir / "lone.jww").string();

  auto flat = qcli::CollectInputs({lone, lib, "missing.jww"}, false);
  ASSERT_EQ(flat.size(), 3u);
  EXPECT_EQ(flat[0].Path, lone);
  EXPECT_EQ(flat[0].Problem, "");
  EXPECT_EQ(flat[1].Path, lib);
  EXPECT_THAT(flat[1].Problem, HasSubstr("folder"));
  EXPECT_EQ(flat[2].Path, "missing.jww");
  EXPECT_EQ(flat[2].Problem, "");  // reported when it is read, in its place
  EXPECT_EQ(flat[2].FullPath, (fs::current_path() / "missing.jww").string());

  std::vector<std::string> paths;
  for (const auto& in : qcli::CollectInputs({lone, lib}, true)) {
    EXPECT_EQ(in.Problem, "") << in.Path;
    paths.push_back(in.Path.substr(Dir.string().size()));
  }
  EXPECT_THAT(paths, ElementsAre("/lone.jww", "/lib/A.jww", "/lib/a.jws", "/lib/b.JWW",
                                 "/lib/sub/c.Jws", "/lib/sub/deeper/d.jww"));
}

TEST(CliCollectPaths, FullPathIsAbsoluteAndNormal) {
  EXPECT_EQ(qcli::FullPathOf("/a/./b/../c.jww"), "/a/c.jww");
  EXPECT_EQ(qcli::FullPathOf("x.jww"), (fs::current_path() / "x.jww").string());
  EXPECT_EQ(qcli::FullPathOf("./a/../b.jww", "/work"), "/work/b.jww");
  EXPECT_EQ(qcli::FullPathOf("/abs/c.jws", "/work"), "/abs/c.jws");
  EXPECT_EQ(qcli::FullPathOf("rel.jww", ""), "rel.jww");

  // Through a link, ".." goes where the system goes: the folder above the
  // link's target.
  const fs::path dir = fs::temp_directory_path() / ("quillon-dotdot-" + std::to_string(getpid()));
  fs::create_directories(dir / "deep" / "dir");
  fs::create_directory_symlink(dir / "deep" / "dir", dir / "lnk");
  EXPECT_EQ(qcli::FullPathOf("lnk/../x.jws", dir.string()), (dir / "deep" / "x.jws").string());
  EXPECT_EQ(qcli::MessageField("a\nb\x1B[31m\tc"), "a\\nb\\x1B[31m\\tc");
  fs::remove_all(dir);
}

// ---------------------------------------------------------------------------
// The program

struct TCliRun {
  int status = -1;
  std::string out, err;
};

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

class CliProgram : public TempDirTest {
 protected:
  TCliRun Cli(const std::vector<std::string>& Args) {
    std::string cmd = Quote(QUILLON_CLI_PATH);
    for (const auto& a : Args) cmd += " " + Quote(a);
    const fs::path out = Dir / ".stdout", err = Dir / ".stderr";
    cmd += " >" + Quote(out.string()) + " 2>" + Quote(err.string());
    TCliRun r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadText(out);
    r.err = ReadText(err);
    fs::remove(out);
    fs::remove(err);
    return r;
  }
};

TEST_F(CliProgram, ListsRowsInUtf8WithTheMarkerCut) {
  const std::string a = Write("部品/建具.jww", {Sjis("片開き戸"), "ABC@@sfigorgflag123",
                                                "@@SFIGORGFLAG", Sjis("ｽﾁｰﾙ棚@@SfigOrgFlag")});
  const std::string b = Write("b.jws", {Sjis("便器")}, true, 600);
  const TCliRun r = Cli({a, b});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_THAT(Lines(r.out), ElementsAre("建具.jww\t" + a + "\t片開き戸", "建具.jww\t" + a + "\tABC",
                                        "建具.jww\t" + a + "\t", "建具.jww\t" + a + "\tｽﾁｰﾙ棚",
                                        "b.jws\t" + b + "\t便器"));

  const TCliRun found = Cli({"--find", "すちーる", a, b});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.out, "建具.jww\t" + a + "\tｽﾁｰﾙ棚\n");
}

TEST_F(CliProgram, CsvQuotesAPathWithACommaAndJsonKeepsKeyOrder) {
  const std::string a = Write("a,\"b\"/x.jww", {"W-1800x900"});
  const TCliRun csv = Cli({"--format", "csv", a});
  EXPECT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out, "x.jww," + qcli::CsvField(a) + ",W-1800x900\r\n");
  EXPECT_THAT(qcli::CsvField(a), HasSubstr("\"\""));
  const TCliRun bom = Cli({"--format", "csv", "--bom", a});
  EXPECT_EQ(bom.out, "\xEF\xBB\xBF" + csv.out);

  const TCliRun json = Cli({"--format=json", a});
  EXPECT_EQ(json.status, 0);
  const auto parsed = nlohmann::ordered_json::parse(json.out);
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(
      parsed[0].dump(),
      nlohmann::ordered_json({{"file", "x.jww"}, {"path", a}, {"block", "W-1800x900"}}).dump());
}

TEST_F(CliProgram, FilesNotReadCompletelyAreReportedAndExitOne) {
  const std::string good = Write("good.jww", {"GOOD"});
  // A drawing cut inside the name of its second definition.
  jwb::Drawing d(700);
  d.Def(1, "KEPT").Line();
  d.Def(2, "LOST").Line();
  const jwb::Bytes bytes = d.JwwBytes();
  const std::string cut = (Dir / "cut.jww").string();
  jwb::WriteFile(cut, jwb::Cut(bytes, d.LastLayout().defs[1].name + 2));
  const std::string text = (Dir / "text.jww").string();
  std::ofstream(text) << "not a drawing at all";
  const std::string figure = Write("figure.jww", {"F"}, true);  // a figure under a drawing's name
  const std::string other = (Dir / "readme.txt").string();
  std::ofstream(other) << "x";
  const std::string missing = (Dir / "gone.jws").string();
  const std::string folder = Dir.string();

  const struct {
    std::string path, reason;
    std::vector<std::string> rows;
  } cases[] = {
      {missing, "no such file", {}},
      {text, "not a JW drawing file", {}},
      {figure, "not a JW drawing file", {}},
      {other, "not a drawing or figure file", {}},
      {cut, "could not be read to the end", {"KEPT"}},
      {folder, "is a folder (use -r", {}},
  };
  for (const auto& c : cases) {
    const TCliRun r = Cli({good, c.path, good});
    EXPECT_EQ(r.status, 1) << c.path;
    EXPECT_THAT(r.err, HasSubstr("quillon-cli: " + c.path + ": " + c.reason)) << c.path;
    std::vector<std::string> names;
    for (const std::string& line : Lines(r.out)) names.push_back(line.substr(line.rfind('\t') + 1));
    std::vector<std::string> expected{"GOOD"};
    expected.insert(expected.end(), c.rows.begin(), c.rows.end());
    expected.push_back("GOOD");
    EXPECT_EQ(names, expected) << c.path;
  }
}

TEST_F(CliProgram, AFileTheUserMayNotReadGivesTheSystemsReason) {
  // Root reads everything: the run is made as an unprivileged user.
  if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs root and setpriv";
  const std::string locked = Write("locked.jww", {"L"});
  fs::permissions(locked, fs::perms::none);
  fs::create_directories(Dir / "shut");
  const std::string inShut = Write("shut/inside.jww", {"S"});
  fs::permissions(Dir / "shut", fs::perms::owner_all);
  fs::permissions(Dir, fs::perms::all);
  const std::string cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                          Quote(QUILLON_CLI_PATH) + " " + Quote(locked) + " " + Quote(inShut) +
                          " 2>&1 >/dev/null";
  std::string err;
  if (FILE* p = ::popen(cmd.c_str(), "r")) {
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, p)) err.append(buf, n);
    ::pclose(p);
  }
  EXPECT_THAT(err, HasSubstr(locked + ": cannot be opened: Permission denied"));
  EXPECT_THAT(err, HasSubstr(inShut + ": cannot be opened: Permission denied"));
  fs::permissions(Dir / "shut", fs::perms::all);
}

TEST_F(CliProgram, SkippedRecordsWarnButExitZero) {
  // A figure file cut inside the last entity of its last definition: that
  // record is dropped and the load still ends with true.
  jwb::Drawing d(700);
  d.Def(1, "A").Line();
  d.Def(2, "B").Line();
  const jwb::Bytes bytes = d.JwsBytes();
  const std::string path = (Dir / "damaged.jws").string();
  jwb::WriteFile(path, jwb::Cut(bytes, bytes.size() - 5));
  const TCliRun r = Cli({path});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "quillon-cli: " + path + ": warning: 1 damaged entity record was skipped\n");
  EXPECT_EQ(Lines(r.out).size(), 2u);
}

TEST_F(CliProgram, CatalogsDrawEveryRowAndNeverOverwrite) {
  const std::string a = Write("p/a.jww", {"A<1>", "B"});
  const std::string b = Write("q/a.jww", {"A<1>"});
  const TCliRun html = Cli({"--format", "html", "--find", "a", a, b});
  EXPECT_EQ(html.status, 0) << html.err;
  EXPECT_THAT(html.out, ::testing::StartsWith("<!DOCTYPE html>"));
  EXPECT_THAT(html.out, HasSubstr("<td>A&lt;1&gt;</td>"));
  size_t drawings = 0;
  for (size_t at = html.out.find("<svg "); at != std::string::npos;
       at = html.out.find("<svg ", at + 1))
    ++drawings;
  EXPECT_EQ(drawings, 2u);

  // The same file name in two folders, and again over files already there.
  const fs::path out = Dir / "drawings";
  for (int run = 0; run < 2; ++run) {
    const TCliRun svg = Cli({"--format", "svg", "--output-dir", out.string(), a, b});
    EXPECT_EQ(svg.status, 0) << svg.err;
    EXPECT_EQ(Lines(svg.out).size(), 3u);
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(out)) names.push_back(e.path().filename().string());
  EXPECT_THAT(names, ::testing::UnorderedElementsAre(
                         "a.jww_0001_A_1_.svg", "a.jww_0002_B.svg", "a.jww_0001_A_1_-2.svg",
                         "a.jww_0001_A_1_-3.svg", "a.jww_0002_B-2.svg", "a.jww_0001_A_1_-4.svg"));

  // A folder that cannot be made (a file is in the way) is no usage error.
  const TCliRun blocked = Cli({"--format", "svg", "--output-dir", a + "/sub", a});
  EXPECT_EQ(blocked.status, 1);
  EXPECT_THAT(blocked.err, HasSubstr("cannot make the folder"));
}

TEST_F(CliProgram, UsageErrorsExitTwo) {
  const std::string a = Write("a.jww", {"A"});
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"-j", "0", a},
      {"-j", "many", a},
      {"--format", "xml", a},
      {"--bogus", a},
      {"--find"},
      {"--format", "svg", a},
      {"--output-dir", (Dir / "o").string(), a},
  };
  for (const auto& args : cases) {
    const TCliRun r = Cli(args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, "") << ::testing::PrintToString(args);
    EXPECT_NE(r.err, "") << ::testing::PrintToString(args);
  }
  const TCliRun help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_THAT(help.out, HasSubstr("--find"));
  const TCliRun version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_THAT(version.out, ::testing::StartsWith("quillon-cli "));
}

TEST_F(CliProgram, OutputDoesNotDependOnTheNumberOfJobs) {
  std::vector<std::string> args;
  size_t rows = 0;
  for (int i = 0; i < 40; ++i) {
    std::vector<std::string> names;
    for (int k = 0; k <= i % 7; ++k)
      names.push_back("F" + std::to_string(i) + "-" + std::to_string(k));
    rows += names.size();
    const bool figure = i % 3 == 0;
    args.push_back(Write("set/" + std::to_string(i) + (figure ? ".jws" : ".jww"), names, figure,
                         i % 2 ? 351 : 700));
    if (i % 10 == 5) args.push_back((Dir / ("nothing" + std::to_string(i) + ".jww")).string());
  }
  args.push_back((Dir / "set").string());
  std::vector<std::string> recursive{"-r"};
  recursive.insert(recursive.end(), args.begin(), args.end());

  const TCliRun one = [&] {
    auto a = recursive;
    a.insert(a.begin(), {"-j", "1"});
    return Cli(a);
  }();
  const TCliRun four = [&] {
    auto a = recursive;
    a.insert(a.begin(), {"-j4"});
    return Cli(a);
  }();
  EXPECT_EQ(one.status, 1);
  EXPECT_EQ(four.status, 1);
  EXPECT_EQ(one.out, four.out);
  EXPECT_EQ(one.err, four.err);
  // Every file twice: once by name, once from the folder.
  EXPECT_EQ(Lines(one.out).size(), 2 * rows);
  EXPECT_EQ(Lines(one.err).size(), 4u);
}

// ---------------------------------------------------------------------------
// The real corpus

TEST(CliCorpus, RowsEqualTheExpectedList) {
  const fs::path corpus = QUILLON_CORPUS_DIR;
  if (!fs::exists(corpus / "expected.tsv")) GTEST_SKIP() << "no corpus at " << corpus;
  const fs::path root = fs::absolute(corpus).lexically_normal();

  std::string expected;
  std::ifstream in(corpus / "expected.tsv");
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::istringstream cols(line);
    for (std::string col; std::getline(cols, col, '\t');) f.push_back(col);
    while (f.size() < 4) f.emplace_back();
    const fs::path path = root / f[0];
    expected += path.filename().string() + "\t" + path.string() + "\t" + f[2] + "\n";
  }

  for (const char* jobs : {"-j1", "-j3"}) {
    std::string cmd =
        std::string("'") + QUILLON_CLI_PATH + "' " + jobs + " -r '" + corpus.string() + "' 2>&1";
    FILE* pipe = ::popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int raw = ::pclose(pipe);
    EXPECT_EQ(WEXITSTATUS(raw), 0) << jobs;
    EXPECT_EQ(out, expected) << jobs;
  }
}

}  // namespace

namespace {

// The saved index: the same rows and exit status as without it, each time,
// and -r forgets the files no longer under the folder.
TEST_F(CliProgram, IndexGivesThePlainRowsAndForgetsFilesThatWent) {
  Write("lib/a.jww", {"A1", "A2"});
  const std::string gone = Write("lib/sub/b.jws", {"B1"}, true);
  Write("lib/c.jww", {"C1"});
  fs::resize_file(Dir / "lib/c.jww", 200);  // read part-way: status 1
  for (const auto& e : fs::recursive_directory_iterator(Dir / "lib"))
    fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::minutes(5));
  const std::string index = (Dir / "cache" / "index.sqlite3").string();
  const TCliRun plain = Cli({"-r", (Dir / "lib").string()});
  for (int pass = 0; pass < 2; ++pass) {
    const TCliRun r = Cli({"--index-file", index, "-r", (Dir / "lib").string()});
    EXPECT_EQ(r.out, plain.out) << pass;
    EXPECT_EQ(r.err, plain.err) << pass;
    EXPECT_EQ(r.status, 1) << pass;
  }
  auto held = [&] {
    return Cli({"--index-file", index, "-r", (Dir / "lib").string()}).out.find("B1") !=
           std::string::npos;
  };
  EXPECT_TRUE(held());
  fs::remove(gone);
  EXPECT_FALSE(held());
  // The file's entry went with it: the index holds two files now.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(index.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM files", -1, &count, nullptr);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 2);
  sqlite3_finalize(count);
  sqlite3_close(db);
}

}  // namespace

namespace {

// --filter keeps the rows the results window's filter box keeps.
TEST_F(CliProgram, FilterKeepsWhatTheFilterBoxKeeps) {
  const std::string a = Write("TOTO/設備/洗面.jww", {Sjis("洗面化粧台 W750"), Sjis("便器")});
  const std::string b = Write("LIXIL/b.jws", {Sjis("洗面器"), "W750"}, true);
  const std::vector<std::string> args = {"-r", (Dir / "TOTO").string(), (Dir / "LIXIL").string()};
  auto rows = [&](const std::string& Query) {
    std::vector<std::string> cli = args;
    cli.insert(cli.begin(), {"--filter", Query});
    const TCliRun r = Cli(cli);
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> blocks;
    for (const std::string& line : Lines(r.out))
      blocks.push_back(line.substr(line.rfind('\t') + 1));
    // The same query in the filter box over the same rows.
    TResultTable t;
    int row = 0;
    for (const std::string& line : Lines(Cli(args).out)) {
      const size_t tab1 = line.find('\t'), tab2 = line.rfind('\t');
      ++row;
      t.SetCell(0, row, line.substr(0, tab1));
      t.SetCell(1, row, line.substr(tab1 + 1, tab2 - tab1 - 1));
      t.SetCell(2, row, *Utf8ToCp932(line.substr(tab2 + 1)));
    }
    t.SetRowCount(row + 1);
    t.SetFilter(Query);
    EXPECT_EQ(static_cast<size_t>(t.ShownCount()), blocks.size()) << Query;
    return blocks;
  };
  EXPECT_THAT(rows("洗面 w750"), ElementsAre("洗面化粧台 W750"));
  EXPECT_THAT(rows("toto -便器"), ElementsAre("洗面化粧台 W750"));
  EXPECT_THAT(rows("w750"), ElementsAre("洗面化粧台 W750", "W750"));
  EXPECT_THAT(rows("\"洗面 器\""), ElementsAre("洗面器"));
}

TEST_F(CliProgram, TextsInsideBlocksAreFilteredAndListed) {
  jwb::Drawing d(700);
  jwb::BlockDef& door = d.Def(1, Sjis("扉"));
  door.Text("", Sjis("片開き"));
  door.Dim("", "900");
  jwb::BlockDef& unit = d.Def(2, Sjis("住戸"));
  unit.Text("", "FIX");
  unit.Insert(1);
  d.Def(3, Sjis("空")).Line();
  const std::string a = (Dir / "a.jww").string();
  jwb::WriteFile(a, d.JwwBytes());

  const TCliRun filtered = Cli({"--filter", "片開", a});
  EXPECT_EQ(filtered.status, 0) << filtered.err;
  EXPECT_EQ(filtered.out, "a.jww\t" + a + "\t扉\na.jww\t" + a + "\t住戸\n");

  const TCliRun tsv = Cli({"--texts", a});
  EXPECT_THAT(Lines(tsv.out),
              ElementsAre("a.jww\t" + a + "\t扉\t片開き / 900",
                          "a.jww\t" + a + "\t住戸\tFIX / 片開き / 900", "a.jww\t" + a + "\t空\t"));
  const auto json = nlohmann::ordered_json::parse(Cli({"--texts", "--format", "json", a}).out);
  ASSERT_EQ(json.size(), 3u);
  EXPECT_EQ(json[1]["texts"].dump(), nlohmann::json({"FIX", "片開き", "900"}).dump());
  EXPECT_EQ(json[2]["texts"].dump(), "[]");
  EXPECT_THAT(Cli({"--texts", "--format", "html", a}).out,
              HasSubstr("<td>FIX / 片開き / 900</td>"));

  // The same when the saved index answers (from the second search on).
  fs::last_write_time(a, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  const std::string index = (Dir / "index.sqlite3").string();
  for (int pass = 0; pass < 3; ++pass) {
    EXPECT_EQ(Cli({"--index-file", index, "--filter", "片開", a}).out, filtered.out) << pass;
    EXPECT_EQ(Cli({"--index-file", index, "--texts", a}).out, tsv.out) << pass;
  }
}

}  // namespace

namespace {

TEST_F(CliProgram, DuplicatesGroupOneDrawingUnderTwoNamesAndOneNameOverTwoDrawings) {
  auto write = [&](const std::string& Name, bool Figure,
                   const std::vector<std::pair<std::string, std::array<double, 4>>>& Defs) {
    jwb::Drawing d(700);
    int32_t n = 1;
    for (const auto& [block, line] : Defs) {
      jwb::ByteWriter body;
      for (double v : line) body.F64(v);
      d.Def(n++, block).Line().body = body.Take();
    }
    const std::string path = (Dir / Name).string();
    jwb::WriteFile(path, Figure ? d.JwsBytes() : d.JwwBytes());
    return path;
  };
  const std::string a = write(
      "a.jww", false, {{"DOOR", {0, 0, 800, 0}}, {"WC", {0, 0, 50, 50}}, {"X", {0, 0, 1, 2}}});
  const std::string b =
      write("b.jws", true, {{Sjis("ドア"), {500, 70, 1300, 70}}, {"wc", {0, 0, 60, 10}}});
  const TCliRun r = Cli({"--duplicates", a, b});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(Lines(r.out), ElementsAre("1\tsame-drawing\ta.jww\t" + a + "\tDOOR",
                                        "1\tsame-drawing\tb.jws\t" + b + "\tドア",
                                        "2\tsame-name\ta.jww\t" + a + "\tWC",
                                        "2\tsame-name\tb.jws\t" + b + "\twc"));
  const auto json =
      nlohmann::ordered_json::parse(Cli({"--duplicates", "--format", "json", a, b}).out);
  ASSERT_EQ(json.size(), 4u);
  EXPECT_EQ(
      json[3].dump(),
      nlohmann::ordered_json(
          {{"group", 2}, {"kind", "same-name"}, {"file", "b.jws"}, {"path", b}, {"block", "wc"}})
          .dump());
  EXPECT_EQ(Cli({"--duplicates", "--format", "svg", "--output-dir", Dir.string(), a}).status, 2);

  // Through the saved index: the same report, and the second one answered
  // from the fingerprints kept there.
  for (const std::string& f : {a, b})
    fs::last_write_time(f, fs::file_time_type::clock::now() - std::chrono::minutes(1));
  const std::string index = (Dir / "index.sqlite3").string();
  EXPECT_EQ(Cli({"--duplicates", "--index-file", index, a, b}).out, r.out);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(index.c_str(), &db), SQLITE_OK);
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT count(*) FROM drawings", -1, &count, nullptr);
  ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(count, 0), 5);
  sqlite3_finalize(count);
  sqlite3_close(db);
  EXPECT_EQ(Cli({"--duplicates", "--index-file", index, a, b}).out, r.out);
}

}  // namespace
