#include "transcode/ConversionRun.h"

#include <charconv>
#include <exception>

#include "app/Format.h"
#include "app/Globals.h"
#include "lang/Catalogue.h"
#include "platform/CommandLine.h"
#include "platform/UiThread.h"
#include "platform/UserPrompts.h"
#include "project/FileItem.h"
#include "project/MediaProbe.h"
#include "project/TitleList.h"
#include "transcode/JobBuilder.h"
#include "transcode/OutputCarry.h"
#include "transcode/Redirector.h"
#include "transcode/TranscodeParser.h"

namespace tl {

namespace {

constexpr const char* kResetTime = "0:00:00";

// The record's size text as bytes; a text that is not a number counts as 0
// (a title the probe could not size then simply does not move the batch bar).
std::int64_t SizeBytes(const TFileItem& item)
{
    std::int64_t value = 0;
    const char* first = item.FileSize.data();
    const char* last = first + item.FileSize.size();
    auto [end, ec] = std::from_chars(first, last, value);
    return (ec == std::errc() && end == last) ? value : 0;
}

std::string Percent(std::int32_t value)
{
    return std::to_string(value) + "%";
}

} // namespace

ConversionRun::ConversionRun(UiThread& ui, UserPrompts& prompts, MainView& mainView, ConversionView& dialog,
                             const TitleList& titles, TRedirector& runner, bool& cancelled,
                             std::vector<std::string>& pendingTitles)
    : ui_(ui), prompts_(prompts), main_(mainView), dialog_(dialog), titles_(titles), runner_(runner),
      cancelled_(cancelled), pending_(pendingTitles)
{
    OnCancel = [this] {
        cancelled_ = true;
        main_.LockUserInterface(false);
    };
}

void ConversionRun::ConfigureRunner()
{
    runner_.SetInitialPriority(RunnerPriority(Options.ProcessPriority));
    runner_.SetDefaultErrorMode(true);
    auto onData = [this](TRedirector& sender, const char* bytes, std::size_t count) {
        HandleOutput(bytes, count, sender.ProcessEnded());
    };
    runner_.OnData = onData;
    runner_.OnErrorData = onData;
    runner_.OnTerminated = [this](TRedirector&) { TitleEnded(); };
    runner_.OnReaderFailed = [this](TRedirector&, const std::string& message) { ReaderFailed(message); };
    runner_.KillOnDestroy = true;
}

DialogResult ConversionRun::Start()
{
    ConfigureRunner();

    const std::string& caption = Text("STR_PROCESS_BurnDVDStep1");
    dialog_.SetCaption(caption);
    finished_ = false;
    stopped_ = false;
    dialog_.SetLabel(ConvLabel::RemainingTime, kResetTime);
    dialog_.SetLabel(ConvLabel::SingleRemainingTime, kResetTime);
    dialog_.SetLabel(ConvLabel::ElapsedTime, kResetTime);
    dialog_.SetLabel(ConvLabel::EstimatedTime, kResetTime);
    dialog_.SetLabel(ConvLabel::Status, Text("STR_PROCESS_lblStatus") + " 0%");
    dialog_.SetLabel(ConvLabel::Batch, Text("STR_PROCESS_lblBatch") + " 0%");
    dialog_.SetLabel(ConvLabel::Working, Text("STR_PROCESS_PleaseWait"));

    main_.SetStatusText(caption);
    ui_.ProcessMessages();

    Options.BatchHadError = false;
    Options.TitleCount = static_cast<std::int32_t>(titles_.Count());
    Options.DoneCount = 0;
    Options.FailedCount = 0;
    Options.OutputIndex = 0;
    pending_.clear();
    Options.TotalSourceBytes = 0;
    for (std::size_t row = 0; row < titles_.Count(); ++row) {
        Options.TotalSourceBytes += SizeBytes(titles_.Item(row));
        pending_.push_back(titles_.Caption(row));
    }
    Options.CurrentSourceBytes = 0;
    Options.FinishedSourceBytes = 0;
    Options.EstimatedDoneBytes = 0;
    Options.BatchPercent = 0;
    Options.BatchStartTime = Now();

    // Nothing to convert (the Burn action's checks exclude it): no dialog
    // that nothing would ever close.
    if (titles_.Empty())
        return DialogResult::None;

    StartNextTitle();

    // The first title could not even start and the run is already over (a
    // single title, or the user chose to stop): the dialog would only show an
    // empty run.
    if (finished_)
        return DialogResult::Ok;
    if (stopped_)
        return DialogResult::Cancel;
    return dialog_.ShowModal();
}

void ConversionRun::StartNextTitle()
{
    if (cancelled_ || stopped_)
        return;
    RemoveJobFiles(Options.TempDir);
    if (titles_.Empty() || pending_.empty())
        return;

    Options.FileFailed = false;
    Options.FileStartTime = Now();
    Options.FilePercent = 0;
    Options.OutputCarry.clear();
    Options.CurrentSource = pending_.front();
    const std::size_t count = titles_.Count();
    const std::size_t row = count >= pending_.size() ? count - pending_.size() : count;
    Options.CurrentSourceBytes = row < count ? SizeBytes(titles_.Item(row)) : 0;

    try {
        WriteTitleJob();
        runner_.SetCommandLine(QuoteArgument(Options.TempDir + kConvertBatchName));
        runner_.Execute();
    } catch (const std::exception& e) {
        TitleCouldNotStart(e.what());
    }
}

void ConversionRun::TitleCouldNotStart(const std::string& message)
{
    // Shown like any uncaught error, then the title counts as failed, so the
    // continue question lets the user go on with the next title or stop.
    prompts_.ShowError(message);
    Options.FileFailed = true;
    TitleEnded();
}

void ConversionRun::HandleOutput(const char* bytes, std::size_t count, bool processEnded)
{
    std::string previous;
    AssembleOutputLines(Options.OutputCarry, bytes, count, processEnded, [&](const std::string& line) {
        HandleLine(line, previous);
        previous = line;
    });
}

void ConversionRun::HandleLine(const std::string& line, const std::string& previous)
{
    bool blank = true;
    for (char c : line)
        blank = blank && static_cast<unsigned char>(c) <= ' ';
    if (blank)
        return;

    if (line.find("Input #0, ") != std::string::npos) {
        if (auto name = InputNameFromLine(line))
            Options.InputName = *name;
        // The script route reports the script; the user wants to see the source.
        if (FileExtension(Options.InputName) == ".avs")
            Options.InputName = Options.CurrentSource;
    }
    if (auto duration = DurationMsFromLine(line))
        Options.FileDurationMs = *duration;
    if (auto position = PositionMsFromLine(line))
        Options.FilePositionMs = *position;

    const double now = Now();
    const double elapsed = now - Options.BatchStartTime;
    dialog_.SetLabel(ConvLabel::ElapsedTime, FormatDuration(elapsed));

    if (Options.FileDurationMs != 0 && Options.FilePositionMs != 0) {
        Options.FilePercent = PercentOf(Options.FilePositionMs, Options.FileDurationMs);
        dialog_.SetLabel(ConvLabel::Status, Text("STR_PROCESS_lblStatus") + Percent(Options.FilePercent));
        dialog_.SetBar(ConvBar::Status, Options.FilePercent);

        const double titleElapsed = now - Options.FileStartTime;
        const double titleTotal =
            static_cast<double>(Options.FileDurationMs) * titleElapsed / static_cast<double>(Options.FilePositionMs);
        dialog_.SetLabel(ConvLabel::SingleRemainingTime, FormatDuration(titleTotal - titleElapsed));

        Options.EstimatedDoneBytes =
            Options.FinishedSourceBytes + (Options.CurrentSourceBytes * Options.FilePercent) / 100;
        if (Options.EstimatedDoneBytes != 0 && Options.TotalSourceBytes != 0) {
            Options.BatchPercent = PercentOf(static_cast<double>(Options.EstimatedDoneBytes),
                                             static_cast<double>(Options.TotalSourceBytes));
            ShowBatch(Options.BatchPercent);
            const double batchTotal = static_cast<double>(Options.TotalSourceBytes) * elapsed /
                                      static_cast<double>(Options.EstimatedDoneBytes);
            dialog_.SetLabel(ConvLabel::EstimatedTime, FormatDuration(batchTotal));
            dialog_.SetLabel(ConvLabel::RemainingTime, FormatDuration(batchTotal - elapsed));
        }
    }

    dialog_.SetLabel(ConvLabel::Working,
                     Format(Text("STR_PROCESS_lblWorking"),
                            {std::int64_t{Options.DoneCount} + Options.FailedCount + 1,
                             std::int64_t{Options.TitleCount}, FileNamePart(Options.InputName)}));

    if (IsErrorLine(line, previous)) {
        Options.FileFailed = true;
        prompts_.Message(line, Text("STR_Error"), MsgKind::Information, MsgButtons::Ok);
    }
}

void ConversionRun::ShowBatch(std::int32_t percent)
{
    dialog_.SetLabel(ConvLabel::Batch, Text("STR_PROCESS_lblBatch") + Percent(percent));
    dialog_.SetBar(ConvBar::Batch, percent);
}

void ConversionRun::TitleEnded()
{
    // The transcoder's last words may lack a line break and still sit in the
    // carry (read before the end was seen): they are its last line.
    if (!Options.OutputCarry.empty()) {
        const std::string last = std::move(Options.OutputCarry);
        Options.OutputCarry.clear();
        HandleLine(last, std::string());
    }

    RemoveJobFiles(Options.TempDir);
    // The late end of a title of a cancelled or stopped run: nothing more to
    // decide or ask.
    if (cancelled_ || stopped_)
        return;

    if (!Options.FileFailed) {
        if (!pending_.empty())
            pending_.erase(pending_.begin());
        Options.DoneCount += 1;
        if (Options.DoneCount == Options.TitleCount) {
            dialog_.SetLabel(ConvLabel::Batch, Text("STR_PROCESS_lblBatch") + "100%");
            dialog_.SetBar(ConvBar::Status, 100);
            dialog_.SetBar(ConvBar::Batch, 100);
            dialog_.SetCaption(Text("STR_MAIN_EncodingFinished"));
        }
    } else {
        Options.BatchHadError = true;
        Options.FailedCount += 1;
        const std::string failed = pending_.empty() ? Options.CurrentSource : pending_.front();
        const MsgResult answer = prompts_.Message(Format(Text("IDS_main_MSG_ConverFileError"), {failed}),
                                                  Text("IDS_main_MSG_Error"), MsgKind::Error, MsgButtons::OkCancel);
        if (answer != MsgResult::Ok) {
            StopRun();
            return;
        }
        if (!pending_.empty())
            pending_.erase(pending_.begin());
    }

    if (Options.DoneCount + Options.FailedCount == Options.TitleCount) {
        finished_ = true;
        if (dialog_.IsShowing())
            dialog_.Close(DialogResult::Ok);
        main_.PostPipelineMessage(WM_BUILD_MENU_IMAGES);
        return;
    }

    Options.FinishedSourceBytes += Options.CurrentSourceBytes;
    Options.EstimatedDoneBytes = Options.FinishedSourceBytes;
    if (Options.TotalSourceBytes != 0) {
        Options.BatchPercent = static_cast<std::int32_t>(100 * Options.FinishedSourceBytes / Options.TotalSourceBytes);
        ShowBatch(Options.BatchPercent);
    }
    if (Options.FinishedSourceBytes > 0) {
        const double elapsed = Now() - Options.BatchStartTime;
        const double total = static_cast<double>(Options.TotalSourceBytes) * elapsed /
                             static_cast<double>(Options.FinishedSourceBytes);
        dialog_.SetLabel(ConvLabel::EstimatedTime, FormatDuration(total));
        dialog_.SetLabel(ConvLabel::RemainingTime, FormatDuration(total - elapsed));
    }
    if (!pending_.empty()) {
        Options.OutputIndex += 1;
        main_.PostPipelineMessage(WM_CONVERT_NEXT_TITLE);
    }
}

void ConversionRun::ReaderFailed(const std::string& message)
{
    // The runner can no longer report this title's output or its end, so the
    // run cannot go on safely: show why and stop as after a failed title the
    // user chose not to continue. The controller ends the transcoder when the
    // dialog closes.
    prompts_.ShowError(message);
    RemoveJobFiles(Options.TempDir);
    if (cancelled_ || finished_ || stopped_)
        return;
    Options.FileFailed = true;
    Options.BatchHadError = true;
    Options.FailedCount += 1;
    StopRun();
}

void ConversionRun::StopRun()
{
    pending_.clear();
    stopped_ = true;
    main_.LockUserInterface(false);
}

bool ConversionRun::RequestClose()
{
    if (finished_)
        return true;
    const MsgResult answer =
        prompts_.ButtonCaptionDialog(Text("STR_PROCESS_AbortEncoding"), Text("STR_Question"), MsgKind::Confirmation,
                                     {Text("STR_Yes"), Text("STR_Cancel")}, MsgButtons::OkCancel);
    // The last title may have ended while the question was open: the run goes on.
    if (finished_)
        return true;
    if (answer == MsgResult::Ok) {
        if (OnCancel)
            OnCancel();
        return true;
    }
    return false;
}

} // namespace tl
