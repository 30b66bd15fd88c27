// Stand-in until the outcome texts land from main; replaced on merge.
#include "app/outcome.h"

std::string DescribeOutcomeJa(const TFileOutcome& Outcome) {
  switch (Outcome.Kind) {
    case TOutcomeKind::Complete:
      return "読み込み完了";
    case TOutcomeKind::Skipped:
      return "壊れた図形 " + std::to_string(Outcome.SkippedRecords) + " 件を読み飛ばしました";
    case TOutcomeKind::Partial:
      return "途中まで読み込み: " + std::to_string(Outcome.Offset) + " バイト目で止まりました";
    case TOutcomeKind::WrongSignature:
      return "ファイルの形式が違います";
    case TOutcomeKind::NotDrawing:
      return "JWW/JWS ファイルではありません";
    case TOutcomeKind::Missing:
      return "ファイルがありません";
    case TOutcomeKind::NotRegular:
      return "通常のファイルではありません";
    case TOutcomeKind::CannotOpen:
      return "開けません: " + Outcome.SystemReason;
  }
  return {};
}
