#include "cli/clicore.h"

#include "app/index.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>

#include "app/blocktexts.h"
#include "app/catalog.h"
#include "app/filelist.h"
#include "app/search.h"
#include "app/thumbnail.h"
#include "jws/jwsunit.h"
#include "jww/jwwunit.h"
#include "text/codec.h"
#include "text/nativefile.h"
#include "text/paths.h"
#include "text/sjis.h"
#include "text/widepath.h"

namespace fs = std::filesystem;

namespace qcli {

std::vector<TInput> CollectInputs(const std::vector<std::string>& Args, bool Recursive) {
  std::vector<TInput> inputs;
  std::error_code cwdError;
  const fs::path cwdPath = fs::current_path(cwdError);
  const std::string cwd = cwdError ? std::string() : Utf8OfPath(cwdPath);
  for (const std::string& arg : Args) {
    std::error_code ec;
    if (!arg.empty() && fs::is_directory(LongPathOfUtf8(FullPathOf(arg, cwd)), ec)) {
      if (!Recursive) {
        inputs.push_back({arg, FullPathOf(arg, cwd), "is a folder (use -r to search it)"});
        continue;
      }
      for (TFoundFile& f : FindDrawingFiles(arg)) {
        const std::string full = FullPathOf(f.Path, cwd);
        inputs.push_back({std::move(f.Path), full, std::move(f.Problem)});
      }
    } else {
      inputs.push_back({arg, FullPathOf(arg, cwd), {}});
    }
  }
  return inputs;
}

bool TBlockFilter::Keeps(std::string_view NameCp932, std::string_view PathKey,
                         std::string_view TextsCp932) const {
  if (!Matches(NameCp932)) return false;
  return !Words.Active() ||
         Words.Matches(NormalizeForSearch(NameCp932), PathKey, BlockTextsKey(TextsCp932));
}

namespace {

// A failed read is the file's error; records skipped are its warning.
void TellOutcome(TFileResult& Result) {
  if (Result.Outcome.Failed()) {
    Result.Error = DescribeOutcome(Result.Outcome);
  } else if (Result.Outcome.Kind == TOutcomeKind::Skipped) {
    Result.Warning = "warning: " + DescribeOutcome(Result.Outcome);
  }
}

}  // namespace

TFileResult ReadInput(const TInput& Input, const TBlockFilter& Filter, TJwwData& Jww, TJwsData& Jws,
                      TDrawingUse Drawings, bool Standalone, const std::function<bool(TRow&&)>& Put,
                      TBlockIndex* Index) {
  TFileResult result;
  if (!Input.Problem.empty()) {
    result.Error = Input.Problem;
    return result;
  }
  try {
    const std::string fileName = ExtractName(Input.FullPath);
    const std::string pathKey =
        Filter.Words.Active() ? QueryPathKey(Input.FullPath) : std::string();
    if (Drawings != TDrawingUse::None) {
      bool taking = true;
      result.Outcome = ReadFileDrawingsAndTexts(
          Input.Path, Jww, Jws,
          [&](const std::string& Name, const std::string& Texts) {
            return taking && Filter.Keeps(Name, pathKey, Texts);
          },
          [&](int Position, const std::string& Name, const std::string& Texts,
              const TDisplayList& List) {
            TRow row{fileName, Input.FullPath, Cp932ToUtf8(Name), Position, {}};
            if (Drawings == TDrawingUse::Svg)
              row.Svg = SvgDrawing(List, DrawingWidth, DrawingHeight, Standalone);
            row.Print = FingerprintOf(List);
            row.Draws = !List.EmptyDrawing();
            row.NameKey = NormalizeForSearch(Name);
            row.Texts = Texts;
            if (Put)
              taking = Put(std::move(row));
            else
              result.Rows.push_back(std::move(row));
          });
    } else {
      TFileBlocks blocks = ReadFileBlocksIndexed(Index, Input.Path, Input.FullPath, Jww, Jws);
      result.Rows.reserve(blocks.Names.size());
      for (size_t n = 0; n < blocks.Names.size(); ++n) {
        const std::string& name = blocks.Names[n];
        std::string texts = n < blocks.Texts.size() ? std::move(blocks.Texts[n]) : std::string();
        if (!Filter.Keeps(name, pathKey, texts)) continue;
        TRow row{fileName, Input.FullPath, Cp932ToUtf8(name), static_cast<int>(n), {}};
        row.Texts = std::move(texts);
        result.Rows.push_back(std::move(row));
      }
      result.Outcome = blocks.Outcome;
    }
    TellOutcome(result);
  } catch (const std::exception& e) {
    result.Rows.clear();
    result.Error = std::string("reading failed: ") + e.what();
  }
  return result;
}

TFileResult ReadPrintsIndexed(const TInput& Input, const TBlockFilter& Filter, TJwwData& Jww,
                              TJwsData& Jws, TBlockIndex& Index) {
  TFileStamp stamp;
  if (!Input.Problem.empty() || !Index.Usable() || !StampOfFile(Input.FullPath, stamp))
    return ReadInput(Input, Filter, Jww, Jws, TDrawingUse::Fingerprint);
  TFileResult result;
  try {
    const std::string fileName = ExtractName(Input.FullPath);
    const std::string pathKey =
        Filter.Words.Active() ? QueryPathKey(Input.FullPath) : std::string();
    auto put = [&](int Position, const std::string& Name, const std::string& Texts,
                   const TKeptDrawing& Drawing) {
      if (!Filter.Keeps(Name, pathKey, Texts)) return;
      TRow row{fileName, Input.FullPath, Cp932ToUtf8(Name), Position, {}};
      row.Print = Drawing.Print;
      row.Draws = Drawing.Draws;
      row.NameKey = NormalizeForSearch(Name);
      row.Texts = Texts;
      result.Rows.push_back(std::move(row));
    };
    // The entry the drawings go beside, from the index or read now.
    const TFileBlocks blocks = ReadFileBlocksIndexed(&Index, Input.Path, Input.FullPath, Jww, Jws);
    std::vector<TKeptDrawing> kept;
    std::vector<std::string> names;
    if (Index.FindDrawings(Input.FullPath, stamp, kept, names)) {
      for (size_t n = 0; n < names.size(); ++n)
        put(static_cast<int>(n), names[n], n < blocks.Texts.size() ? blocks.Texts[n] : "", kept[n]);
      result.Outcome = blocks.Outcome;
    } else {
      result.Outcome = ReadFileDrawingsAndTexts(
          Input.Path, Jww, Jws, [](const std::string&, const std::string&) { return true; },
          [&](int Position, const std::string& Name, const std::string& Texts,
              const TDisplayList& List) {
            kept.push_back({CompactThumbnail(List), FingerprintOf(List), !List.EmptyDrawing()});
            put(Position, Name, Texts, kept.back());
          });
      if (!result.Outcome.Failed() && kept.size() == blocks.Names.size())
        Index.RecordDrawings(Input.FullPath, stamp, std::move(kept));
    }
    TellOutcome(result);
  } catch (const std::exception& e) {
    result.Rows.clear();
    result.Error = std::string("reading failed: ") + e.what();
  }
  return result;
}

std::string CsvField(std::string_view S) {
  if (S.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(S);
  std::string out;
  out.reserve(S.size() + 4);
  out += '"';
  for (char c : S) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string TsvField(std::string_view S) {
  if (S.find_first_of("\t\r\n") == std::string_view::npos) return std::string(S);
  std::string out;
  out.reserve(S.size() + 4);
  for (char c : S) {
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string MessageField(std::string_view S) {
  std::string out = TsvField(S);
  if (std::none_of(out.begin(), out.end(),
                   [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return out;
  std::string escaped;
  for (char c : out) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      static const char hex[] = "0123456789ABCDEF";
      escaped += "\\x";
      escaped += hex[b >> 4];
      escaped += hex[b & 0xF];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void TRowWriter::Begin() {
  First = true;
  Rows = 0;
  if (Format == TOutputFormat::Json) Out << "[\n";
  if (Format == TOutputFormat::Html) Out << CatalogPageStart("ブロック定義の一覧");
}

void TRowWriter::Row(const TRow& R) {
  switch (Format) {
    case TOutputFormat::Tsv:
      Out << TsvField(R.File) << '\t' << TsvField(R.Path) << '\t' << TsvField(R.Block);
      if (Texts) Out << '\t' << TsvField(BlockTextsUtf8(R.Texts));
      Out << '\n';
      break;
    case TOutputFormat::Csv:
      Out << CsvField(R.File) << ',' << CsvField(R.Path) << ',' << CsvField(R.Block);
      if (Texts) Out << ',' << CsvField(BlockTextsUtf8(R.Texts));
      Out << "\r\n";
      break;
    case TOutputFormat::Json: {
      nlohmann::ordered_json object;
      object["file"] = R.File;
      object["path"] = R.Path;
      object["block"] = R.Block;
      if (Texts) {
        nlohmann::ordered_json texts = nlohmann::ordered_json::array();
        for (const std::string_view text : SplitBlockTexts(R.Texts))
          texts.push_back(Cp932ToUtf8(text));
        object["texts"] = std::move(texts);
      }
      // A path need not be valid UTF-8; its bad bytes become U+FFFD.
      if (!First) Out << ",\n";
      Out << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
      break;
    }
    case TOutputFormat::Html:
      Out << CatalogPageRow(R.File, R.Path, R.Block, R.Svg,
                            Texts ? BlockTextsUtf8(R.Texts) : std::string());
      break;
  }
  First = false;
  ++Rows;
}

void TRowWriter::End() {
  if (Format == TOutputFormat::Json) Out << (First ? "]\n" : "\n]\n");
  if (Format == TOutputFormat::Html) Out << CatalogPageEnd(Rows);
}

void WriteDuplicates(std::ostream& Out, TOutputFormat Format, const std::vector<TRow>& Rows,
                     const std::vector<TDuplicateGroup>& Groups) {
  if (Format == TOutputFormat::Json) Out << "[";
  if (Format == TOutputFormat::Html) Out << CatalogPageStart("同じ図形・同じ名前のブロック");
  bool first = true;
  size_t shown = 0;
  for (size_t g = 0; g < Groups.size(); ++g) {
    const std::string number = std::to_string(g + 1);
    const std::string kind = DuplicateKindName(Groups[g].Kind);
    if (Format == TOutputFormat::Html) {
      Out << CatalogPageSection(number + ". " +
                                (Groups[g].Kind == TDuplicateKind::SameDrawing
                                     ? "同じ図形で名前が違う"
                                     : "同じ名前で図形が違う") +
                                "（" + std::to_string(Groups[g].Members.size()) + " 件）");
    }
    for (const size_t i : Groups[g].Members) {
      const TRow& r = Rows[i];
      switch (Format) {
        case TOutputFormat::Tsv:
          Out << number << '\t' << kind << '\t' << TsvField(r.File) << '\t' << TsvField(r.Path)
              << '\t' << TsvField(r.Block) << '\n';
          break;
        case TOutputFormat::Csv:
          Out << number << ',' << kind << ',' << CsvField(r.File) << ',' << CsvField(r.Path) << ','
              << CsvField(r.Block) << "\r\n";
          break;
        case TOutputFormat::Json: {
          nlohmann::ordered_json object;
          object["group"] = g + 1;
          object["kind"] = kind;
          object["file"] = r.File;
          object["path"] = r.Path;
          object["block"] = r.Block;
          Out << (first ? "\n" : ",\n")
              << object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
          break;
        }
        case TOutputFormat::Html:
          Out << CatalogPageRow(r.File, r.Path, r.Block, r.Svg);
          break;
      }
      first = false;
      ++shown;
    }
  }
  if (Format == TOutputFormat::Json) Out << (first ? "]\n" : "\n]\n");
  if (Format == TOutputFormat::Html) Out << CatalogPageEnd(shown);
}

std::string TSvgFolderWriter::Write(const TRow& R, std::string& Error) {
  const std::string name = CatalogFileName(R.File, R.Position, R.Block);
  const std::string stem = name.substr(0, name.size() - 4);
  constexpr int MaxSuffix = 1'000'000;
  int& next = NextSuffix.try_emplace(stem, 1).first->second;
  for (; next < MaxSuffix; ++next) {
    const std::string path =
        Utf8OfPath(PathOfUtf8(Folder) /
                   PathOfUtf8(next == 1 ? name : stem + "-" + std::to_string(next) + ".svg"));
    std::string reason;
    switch (WriteNewFile(path, R.Svg, reason)) {
      case TCreateStatus::Written:
        ++next;
        return path;
      case TCreateStatus::Exists:
        continue;
      case TCreateStatus::Failed:
        Error = "cannot write " + path + ": " + reason;
        return {};
    }
  }
  Error = "cannot write " + name + ": too many files of that name";
  return {};
}

}  // namespace qcli
