#include "app/outcome.h"

#include <string>

namespace {

std::string N(int64_t Value) {
  return std::to_string(Value);
}

std::string Plural(int64_t Count, const char* One, const char* Many) {
  return N(Count) + " " + (Count == 1 ? One : Many);
}

}  // namespace

TFileOutcome OutcomeOfOpenError(TFileKind Kind, const TOpenError& Error) {
  TFileOutcome out;
  out.FileKind = Kind;
  out.SystemReason = Error.Reason;
  switch (Error.Status) {
    case TOpenStatus::Missing:
      out.Kind = TOutcomeKind::Missing;
      break;
    case TOpenStatus::NotRegular:
      out.Kind = TOutcomeKind::NotRegular;
      break;
    case TOpenStatus::Ok:
    case TOpenStatus::CannotOpen:
      out.Kind = TOutcomeKind::CannotOpen;
      break;
  }
  return out;
}

TFileOutcome OutcomeOfFailedLoad(TFileKind Kind, const TReadFailure& Failure,
                                 int32_t SkippedRecords) {
  if (Failure.Open.Status != TOpenStatus::Ok) return OutcomeOfOpenError(Kind, Failure.Open);
  TFileOutcome out;
  out.Kind = TOutcomeKind::Partial;
  out.FileKind = Kind;
  out.SkippedRecords = SkippedRecords;
  out.Offset = Failure.Offset;
  out.Place = Failure.Place;
  out.Message = Failure.Message;
  return out;
}

std::string DescribePlace(const TReadPlace& P) {
  switch (P.Part) {
    case TReadPlace::Start:
      return "the start of the file";
    case TReadPlace::Header:
      return "the header";
    case TReadPlace::Entities:
      if (P.Index == 0) return "the entity count";
      return "entity " + N(P.Index) + " of " + N(P.Count);
    case TReadPlace::Definitions: {
      if (P.Index == 0) return "the block definition count";
      const std::string def = "block definition " + N(P.Index) + " of " + N(P.Count);
      if (P.Inner == 0) return def;
      return "entity " + N(P.Inner) + " of " + N(P.InnerCount) + " in " + def;
    }
    case TReadPlace::Trailer:
      return "what follows the block definitions";
  }
  return {};
}

std::string DescribePlaceJa(const TReadPlace& P) {
  switch (P.Part) {
    case TReadPlace::Start:
      return "ファイルの先頭";
    case TReadPlace::Header:
      return "ヘッダー";
    case TReadPlace::Entities:
      if (P.Index == 0) return "図形の数";
      return "図形 " + N(P.Index) + " / " + N(P.Count);
    case TReadPlace::Definitions: {
      if (P.Index == 0) return "ブロック定義の数";
      const std::string def = "ブロック定義 " + N(P.Index) + " / " + N(P.Count);
      if (P.Inner == 0) return def;
      return def + " の図形 " + N(P.Inner) + " / " + N(P.InnerCount);
    }
    case TReadPlace::Trailer:
      return "ブロック定義の後";
  }
  return {};
}

std::string DescribeOutcome(const TFileOutcome& O) {
  switch (O.Kind) {
    case TOutcomeKind::Complete:
      return "read completely";
    case TOutcomeKind::Skipped:
      return Plural(O.SkippedRecords, "damaged entity record was skipped",
                    "damaged entity records were skipped");
    case TOutcomeKind::Partial:
      return "could not be read to the end: stopped at byte " + N(static_cast<int64_t>(O.Offset)) +
             " while reading " + DescribePlace(O.Place) +
             (O.Message.empty() ? std::string() : " (" + O.Message + ")");
    case TOutcomeKind::WrongSignature:
      return O.FileKind == TFileKind::Jws ? "not a JW figure file (no JwsData signature)"
                                          : "not a JW drawing file (no JwwData. signature)";
    case TOutcomeKind::NotDrawing:
      return "not a drawing or figure file (.jww or .jws)";
    case TOutcomeKind::Missing:
      return "no such file";
    case TOutcomeKind::NotRegular:
      return O.SystemReason.empty() ? "not a regular file"
                                    : "not a regular file (" + O.SystemReason + ")";
    case TOutcomeKind::CannotOpen:
      return "cannot be opened: " + O.SystemReason;
  }
  return {};
}

std::string DescribeOutcomeJa(const TFileOutcome& O) {
  switch (O.Kind) {
    case TOutcomeKind::Complete:
      return "読み込み完了";
    case TOutcomeKind::Skipped:
      return "壊れた図形データ " + N(O.SkippedRecords) + " 件を飛ばして読み込みました";
    case TOutcomeKind::Partial:
      return N(static_cast<int64_t>(O.Offset)) + " バイト目（" + DescribePlaceJa(O.Place) +
             "）で読み込みが止まりました";
    case TOutcomeKind::WrongSignature:
      return O.FileKind == TFileKind::Jws ? "JWS ファイルではありません（識別子が違います）"
                                          : "JWW ファイルではありません（識別子が違います）";
    case TOutcomeKind::NotDrawing:
      return "JWW/JWS ファイルではありません";
    case TOutcomeKind::Missing:
      return "ファイルがありません";
    case TOutcomeKind::NotRegular:
      return "通常のファイルではありません（フォルダーなど）";
    case TOutcomeKind::CannotOpen:
      return "開けません: " + O.SystemReason;
  }
  return {};
}
