// The jobs' failure message (see JobReport.h).
#include "localfs/JobReport.h"

#include "fs/FsInternal.h"
#include "kq/resource_ids.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"

namespace kq::localfs {
namespace {

// A reason shows at most this much of its path.
constexpr size_t kPathShown = 60;

}  // namespace

std::string JobReasonText(int reason) {
    switch (reason) {
        case kReasonIntoItself:
            return ui::LoadLanguageText(IDS_REASON_INTO_ITSELF);
        case kReasonSpecialFile:
            return ui::LoadLanguageText(IDS_REASON_SPECIAL_FILE);
        case kReasonMaskTooLong:
            return ui::LoadLanguageText(IDS_REASON_NAME_TOO_LONG);
        case kReasonMountPoint:
            return ui::LoadLanguageText(IDS_REASON_MOUNT_POINT);
        case kReasonAmbiguousName:
            return ui::LoadLanguageText(IDS_REASON_AMBIGUOUS_NAME);
        case kReasonTreeMoved:
            return ui::LoadLanguageText(IDS_REASON_TREE_MOVED);
        default:
            return ui::ReasonText(reason);
    }
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
