// The jobs' failure message (see JobReport.h).
#include "localfs/JobReport.h"

#include <utility>

#include "fs/FsInternal.h"
#include "kq/resource_ids.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"

namespace kq::localfs {
namespace {

// A reason shows at most this much of its path.
constexpr size_t kPathShown = 60;

// The jobs' own reasons and their language strings.
constexpr std::pair<int, int> kOwnReasons[] = {
    {kReasonIntoItself, IDS_REASON_INTO_ITSELF},
    {kReasonSpecialFile, IDS_REASON_SPECIAL_FILE},
    {kReasonMaskTooLong, IDS_REASON_NAME_TOO_LONG},
    {kReasonMountPoint, IDS_REASON_MOUNT_POINT},
    {kReasonAmbiguousName, IDS_REASON_AMBIGUOUS_NAME},
    {kReasonTreeMoved, IDS_REASON_TREE_MOVED},
};

}  // namespace

std::string JobReasonText(int reason) {
    for (const auto& [own, text] : kOwnReasons) {
        if (own == reason) return ui::LoadLanguageText(text);
    }
    return ui::ReasonText(reason);
}

void ReportJobFailures(int countId, int notDone, const std::vector<JobFailure>& failures) {
    std::string text = ui::FormatCounts(ui::LoadLanguageText(countId), {notDone});
    for (const JobFailure& failure : failures) {
        text += ' ';
        text += ui::FormatTexts(ui::LoadLanguageText(IDS_NOT_DONE_REASON),
                                {ui::ShortenedFromStart(fs::ToCodePage(failure.path), kPathShown),
                                 JobReasonText(failure.reason)});
    }
    ui::ShowAlert(text);
}

}  // namespace kq::localfs
