#pragma once
#include <QString>

/// Reserved ids and codes of the department's schema.
namespace codes {

inline constexpr int kUtilityWorks = 7777;       ///< "хоз. работы": vid_oper.id, fatigue.id_o, h_tabel.i_type
inline constexpr int kAveragePiecework = 7778;   ///< "ср. сдельная"
inline constexpr int kJournalHours = 0;          ///< h_tabel.i_type of journal rows
inline constexpr int kFinishedProduct = 0;       ///< oper.naimen; any other value is blanks
inline constexpr int kOvertimeShift = 4;         ///< "Переработка"
inline constexpr int kHourRowsShift = 0;         ///< h_tabel.smena of kinds 7777 and 7778
inline constexpr int kNomenclatureGroupLevel = 2;
inline constexpr int kUnitOfMeasure = 6;         ///< gds_and_srv.id_msm_bs written for every product

inline const QString kMarkNew = QStringLiteral("no");
inline const QString kMarkApproved = QStringLiteral("ok");
inline const QString kMarkApprovedRu = QStringLiteral("да");
/// A mark the client never writes: with it as the shift queries' "ok" every marked entry shows.
inline const QString kMarkNone = QStringLiteral("ta");

inline QString productKindText(int naimen)
{
    return naimen == kFinishedProduct ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

inline bool isApproved(const QString& mark) { return mark == kMarkApproved || mark == kMarkApprovedRu; }

} // namespace codes
