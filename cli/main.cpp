// quillon-cli: lists the block definitions of JW drawing and figure files
// without windows, for scripts and for large collections.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/index.h"
#include "app/ordered.h"
#include "cli/clicore.h"
#ifdef _WIN32
// windows.h before the headers that need it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#endif
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/widepath.h"

#ifndef QUILLON_VERSION
#define QUILLON_VERSION "unknown"
#endif

namespace {

constexpr const char* ProgramName = "quillon-cli";

// Exit statuses.
constexpr int ExitAllRead = 0;
constexpr int ExitSomeNotRead = 1;
constexpr int ExitBadUsage = 2;

struct TReaders {
  TJwwData Jww;
  TJwsData Jws;
};

void Diagnose(const std::string& Path, const std::string& Reason) {
  std::cout.flush();  // keep messages next to the rows they follow
  std::cerr << ProgramName << ": " << qcli::MessageField(Path) << ": " << Reason << '\n';
}

#ifdef _WIN32
// The arguments as the system holds them (UTF-16), in UTF-8: argv itself
// comes through the ANSI code page, which cannot hold every file name.
std::vector<std::string> Utf8Arguments() {
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  std::vector<std::string> args;
  for (int i = 0; i < n; ++i) args.push_back(Utf8OfWide(wide[i]));
  if (wide) LocalFree(wide);
  return args;
}

// Output is UTF-8 bytes, written as they are (no CR added before LF). A
// console is switched to UTF-8 so that it shows the Japanese names; a pipe
// or a file gets the same bytes as on Linux.
void PrepareOutput() {
  for (FILE* stream : {stdout, stderr}) {
    const int fd = _fileno(stream);
    _setmode(fd, _O_BINARY);
  }
  if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR ||
      GetFileType(GetStdHandle(STD_ERROR_HANDLE)) == FILE_TYPE_CHAR)
    SetConsoleOutputCP(CP_UTF8);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
#ifdef _WIN32
  PrepareOutput();
  std::vector<std::string> utf8Args = Utf8Arguments();
  std::vector<char*> utf8Argv;
  for (std::string& a : utf8Args) utf8Argv.push_back(a.data());
  if (!utf8Argv.empty()) {
    argc = static_cast<int>(utf8Argv.size());
    argv = utf8Argv.data();
  }
#endif

  CLI::App app{
      "Lists the block definitions held in JW drawing files (.jww) and figure files (.jws):\n"
      "one row per definition with the file name, the full path and the block name.",
      ProgramName};
  std::vector<std::string> paths;
  bool recursive = false;
  std::string formatName = "tsv";
  std::string findText;
  bool bom = false;
  unsigned hardware = std::thread::hardware_concurrency();
  unsigned jobs = hardware == 0 ? 1 : hardware;

  const std::map<std::string, qcli::TOutputFormat> formats{{"tsv", qcli::TOutputFormat::Tsv},
                                                           {"csv", qcli::TOutputFormat::Csv},
                                                           {"json", qcli::TOutputFormat::Json},
                                                           {"html", qcli::TOutputFormat::Html},
                                                           {"svg", qcli::TOutputFormat::Tsv}};
  std::string outputDir;
  app.add_option("PATH", paths, "Drawing or figure files; folders with -r")
      ->type_name("")
      ->required();
  app.add_flag("-r,--recursive", recursive,
               "Search folders for .jww and .jws files (any letter case), sorted by path");
  app.add_option("--format", formatName,
                 "Output format: tsv (default), csv (RFC 4180), json, html (one printable page "
                 "with a drawing of each definition) or svg (one drawing file per row, written "
                 "into --output-dir; their paths are printed)")
      ->type_name("FORMAT")
      ->transform(CLI::IsMember({"tsv", "csv", "json", "html", "svg"}, CLI::ignore_case));
  CLI::Option* outputDirOption =
      app.add_option("--output-dir", outputDir, "Folder for --format svg (made when missing)")
          ->type_name("DIR");
  app.add_flag("--bom", bom,
               "Write a UTF-8 byte-order mark first (for Excel on a Japanese Windows, which reads "
               "a CSV without one as code page 932)");
  CLI::Option* findOption = app.add_option(
      "--find", findText,
      "Keep only rows whose block name contains TEXT, ignoring letter case, full-width/half-width "
      "forms, hiragana/katakana and spaces");
  std::string filterText;
  CLI::Option* filterOption = app.add_option(
      "--filter", filterText,
      "Keep only rows where every word of TEXT is found in the block name, the file's path "
      "(folders and file name, without the extension) or the texts drawn inside the block, "
      "compared as --find compares; a word after - keeps the rows where it is found nowhere; "
      "\"quoted words\" are one word");
  bool texts = false;
  app.add_flag("--texts", texts,
               "Add the texts drawn inside each block (its texts and dimension texts, and those of "
               "the blocks it places; each once, at most 1 KB of code page 932 each block): a "
               "fourth column joined by \" / \" in TSV and CSV, a \"texts\" array in JSON, a line "
               "under each drawing in HTML");
  app.add_option("-j,--jobs", jobs, "Files read at once (default: number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1u, 1024u));
  bool useIndex = false;
  std::string indexFile;
  app.add_flag("--index", useIndex,
               "Keep what each file gave in the saved index and answer from it for files that "
               "did not change since (" +
                   DefaultIndexPath() + ")");
  CLI::Option* indexFileOption =
      app.add_option("--index-file", indexFile, "The same with the index in FILE")
          ->type_name("FILE");
  bool duplicates = false;
  app.add_flag("--duplicates", duplicates,
               "Instead of the rows, report duplicates among them: groups of rows with the same "
               "drawing under more than one name (kind same-drawing), then groups of rows with the "
               "same name (compared as --find compares) over more than one drawing (kind "
               "same-name); columns group, kind, file, path, block. Every file is read whole");
  app.set_version_flag("--version", std::string(ProgramName) + " " + QUILLON_VERSION + " (SQLite " +
                                        SqliteVersion() + ")");
  app.footer(
      "Exit status: 0 every file was read completely, 1 some file was not (its rows read so far "
      "are printed) or a drawing or the folder for them could not be made, 2 bad usage.\n");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);  // prints the message and a hint to stderr
    return ExitBadUsage;
  }

  const bool svgFiles = formatName == "svg";
  if (svgFiles != (outputDirOption->count() > 0)) {
    std::cerr << ProgramName << ": --format svg and --output-dir go together\n";
    return ExitBadUsage;
  }
  if (svgFiles) {
    std::error_code ec;
    std::filesystem::create_directories(PathOfUtf8(outputDir), ec);
    if (ec || !std::filesystem::is_directory(PathOfUtf8(outputDir), ec)) {
      std::cerr << ProgramName << ": cannot make the folder " << qcli::MessageField(outputDir)
                << (ec ? ": " + ec.message() : std::string(": not a folder")) << '\n';
      return ExitSomeNotRead;
    }
  }
  if (duplicates && svgFiles) {
    std::cerr << ProgramName << ": --duplicates writes a report, not drawing files\n";
    return ExitBadUsage;
  }
  const bool drawings = svgFiles || formatName == "html";
  qcli::TSvgFolderWriter svgWriter(outputDir);

  qcli::TBlockFilter filter;
  if (findOption->count() > 0) {
    filter = qcli::TBlockFilter(findText);
    if (filter.NotUtf8()) {
      std::cerr << ProgramName
                << ": warning: the --find text is not UTF-8; no block name can match it\n";
    } else if (filter.Unrepresentable()) {
      std::cerr << ProgramName
                << ": warning: the --find text holds a character that code page 932 cannot "
                   "represent; no block name can match it\n";
    }
  }

  if (filterOption->count() > 0) {
    filter.Words = TQuery(filterText);
    if (filter.Words.MatchesNothing()) {
      std::cerr << ProgramName
                << ": warning: a word of the --filter text is not UTF-8 or holds a character that "
                   "code page 932 cannot represent; no row can match it\n";
    }
  }

  // The saved index serves the plain search; drawings are always read. What
  // it holds is read while the folders are walked, without the texts inside
  // the blocks when neither the filter nor the output looks at them.
  std::unique_ptr<TBlockIndex> index;
  if ((useIndex || indexFileOption->count() > 0) && (!drawings || duplicates)) {
    const bool namesOnly = !texts && !filter.Words.Active() && !duplicates;
    index = std::make_unique<TBlockIndex>(
        indexFileOption->count() > 0 ? indexFile : DefaultIndexPath(), IndexBusyTimeoutMs,
        namesOnly ? TIndexAnswers::NamesOnly : TIndexAnswers::NamesAndTexts);
    index->LoadInBackground();
  }
  const std::vector<qcli::TInput> inputs = qcli::CollectInputs(paths, recursive);
  qcli::TRowWriter writer(std::cout, formats.at(formatName), texts);
  bool allRead = true;

  if (bom && !svgFiles) std::cout << "\xEF\xBB\xBF";
  // A file's error or warning, said on stderr.
  auto sayProblems = [&](size_t i, const qcli::TFileResult& result) {
    if (!result.Error.empty()) {
      allRead = false;
      Diagnose(inputs[i].Path, result.Error);
    }
    if (!result.Warning.empty()) Diagnose(inputs[i].Path, result.Warning);
  };
  // The end of a run: what the index was given is written and an index
  // problem said once (it never changes the exit status); the exit status.
  auto finishRun = [&] {
    std::cout.flush();
    if (index) {
      index->Flush();
      const std::string problem = index->Problem();
      if (!problem.empty()) std::cerr << ProgramName << ": " << qcli::MessageField(problem) << '\n';
    }
    if (!std::cout) {
      std::cerr << ProgramName << ": cannot write the output\n";
      return ExitSomeNotRead;
    }
    return allRead ? ExitAllRead : ExitSomeNotRead;
  };
  if (duplicates) {
    // Every row's fingerprint is needed before the first group is known.
    std::vector<qcli::TRow> rows;
    RunOrdered<qcli::TFileResult>(
        inputs.size(), jobs, static_cast<size_t>(jobs) * 4,
        [] { return std::make_unique<TReaders>(); },
        [&](size_t i, std::unique_ptr<TReaders>& readers) {
          // The catalog draws every file; the report alone may answer from
          // the index.
          if (index && !drawings)
            return qcli::ReadPrintsIndexed(inputs[i], filter, readers->Jww, readers->Jws, *index);
          return qcli::ReadInput(
              inputs[i], filter, readers->Jww, readers->Jws,
              drawings ? qcli::TDrawingUse::Svg : qcli::TDrawingUse::Fingerprint);
        },
        [&](size_t i, qcli::TFileResult&& result) {
          sayProblems(i, result);
          std::move(result.Rows.begin(), result.Rows.end(), std::back_inserter(rows));
          return true;
        },
        [] {});
    std::vector<TPrintedRow> printed;
    printed.reserve(rows.size());
    for (const qcli::TRow& row : rows) printed.push_back({row.NameKey, row.Print, !row.Draws});
    qcli::WriteDuplicates(std::cout, formats.at(formatName), rows, FindDuplicates(printed));
    return finishRun();
  }
  if (!svgFiles) writer.Begin();
  // A file's rows: printed, or with --format svg written as files and their
  // paths printed. False when the run cannot go on.
  auto putRow = [&](const qcli::TRow& row) {
    if (!svgFiles) {
      writer.Row(row);
      return true;
    }
    std::string error;
    const std::string written = svgWriter.Write(row, error);
    if (written.empty()) {
      std::cerr << ProgramName << ": " << qcli::MessageField(error) << '\n';
      allRead = false;
      return false;
    }
    std::cout << qcli::TsvField(written) << '\n';
    return true;
  };
  // After a file's rows: what went wrong with it. Each file's rows go out as
  // soon as it is read; once the output cannot be written, reading more is
  // pointless.
  auto finishFile = [&](size_t i, const qcli::TFileResult& result) {
    sayProblems(i, result);
    std::cout.flush();
    return static_cast<bool>(std::cout);
  };
  if (drawings) {
    // Drawings are streamed: each row is written as soon as it is drawn,
    // and the rows waiting for earlier files hold at most this much.
    constexpr size_t MaxHeldRows = size_t{32} << 20;
    RunOrderedStreams<qcli::TRow, qcli::TFileResult>(
        inputs.size(), jobs, MaxHeldRows, [] { return std::make_unique<TReaders>(); },
        [&](size_t i, std::unique_ptr<TReaders>& readers, auto& put) {
          return qcli::ReadInput(inputs[i], filter, readers->Jww, readers->Jws,
                                 qcli::TDrawingUse::Svg, svgFiles, [&](qcli::TRow&& row) {
                                   const size_t bytes = row.Svg.size() + row.Path.size() +
                                                        row.File.size() + row.Block.size();
                                   return put(std::move(row), bytes);
                                 });
        },
        [&](size_t, qcli::TRow&& row) { return putRow(row) && static_cast<bool>(std::cout); },
        [&](size_t i, qcli::TFileResult&& result) { return finishFile(i, result); });
  } else {
    RunOrdered<qcli::TFileResult>(
        inputs.size(), jobs, static_cast<size_t>(jobs) * 16,
        [] { return std::make_unique<TReaders>(); },
        [&](size_t i, std::unique_ptr<TReaders>& readers) {
          return qcli::ReadInput(inputs[i], filter, readers->Jww, readers->Jws,
                                 qcli::TDrawingUse::None, false, {}, index.get());
        },
        [&](size_t i, qcli::TFileResult&& result) {
          for (const qcli::TRow& row : result.Rows) putRow(row);
          return finishFile(i, result);
        },
        [] { std::cout.flush(); });
  }
  if (!svgFiles) writer.End();
  if (index && recursive) {
    // Files that are no longer under the searched folders are forgotten.
    std::vector<std::string> kept;
    for (const qcli::TInput& input : inputs) kept.push_back(input.FullPath);
    for (const std::string& path : paths) {
      std::error_code ec;
      if (std::filesystem::is_directory(PathOfUtf8(path), ec))
        index->ForgetOthersUnder(qcli::FullPathOf(path), kept);
    }
  }
  return finishRun();
}
