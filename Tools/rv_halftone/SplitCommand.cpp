// rv_halftone split: halftoned pages, one per colour, cut into what every physical pass of the head
// prints, then laid back together by the print plan and checked against the mode's promise.
#include "CommandSupport.h"
#include "Commands.h"
#include "PageReader.h"
#include "PngWriter.h"
#include "Progress.h"
#include "RecordOptions.h"
#include "StagedFolder.h"

#include <RvAnalysis/HeadOrder.h>
#include <RvAnalysis/PageSplitter.h>
#include <RvAnalysis/PrintPlan.h>
#include <RvAnalysis/Recombination.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using rv_analysis::SRecombinationVerdict;
using rv_analysis::SSwath;

// How a swath file's rows are laid out.
enum class ESwathOrder
{
    Page,  // the nozzles that reach the page, top down
    Head,  // every nozzle of the head, in its numbering (SwathInHeadOrder)
};

struct SSplitOptions
{
    std::vector<std::string> pages;
    alignas(4) SMaskParam param;  // packed: see RecordOptions.h
    std::string outDir;
    ESwathOrder order = ESwathOrder::Page;
    rv_analysis::ENozzleDirection direction = rv_analysis::ENozzleDirection::Down;
    std::vector<std::string> headOffsets;  // as given: C:LINES,COLS
    bool png = false;
    bool json = false;
};

// A page file: one colour, or as many as a TIFF of several inks has channels.
struct SPageFile
{
    std::string path;
    SPageHeader info;
    bool quantized = false;  // brought to the mask's levels from more levels
    int firstColour = 0;     // the colour of its first channel
    // Open from the header's check until the pixels are read: a page is opened once, so what is
    // read is what was checked, and a pipe or FIFO can be a page.
    std::unique_ptr<CPageReader> reader;
};

// What one physical pass prints; the same for every colour.
struct SPassEntry
{
    SSwath swath;  // its shape; the bytes are not kept
    int fileRows = 0;  // rows in its files: the swath's, or the head's nozzles in head order
    int advanceBefore = 0;
    int nozzle0Line = 0;
    std::vector<std::string> files;  // per colour, names inside the output folder
};

// The head the plan lays the passes with.
struct SHeadEntry
{
    int nozzles = 0;
    int headNozzles = 0;
    int xPhases = 1;
    int yPhases = 1;
    int positions = 0;
    int stepLines = 0;
    int realStepLines = 0;
    int leadLines = 0;
};

struct SSplitReport
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    size_t rowBytes = 0;
    SHeadEntry head;
    std::unique_ptr<rv_analysis::CPrintFrame> frame;  // every colour's page where its head lays it
    std::vector<SPageFile> pages;
    std::vector<SPassEntry> passes;
    std::vector<SRecombinationVerdict> colours;
    std::vector<size_t> pageOfColour;  // index in `pages` of each colour's page file
    bool allSplit = false;  // every colour's page was read and split: the verdicts are whole
    bool written = false;   // the swaths and plan.json are in the output folder
};

std::string SizeText(int width, int height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

// Pages are named by path, standard input ("-") by that name.
std::string PageName(const std::string& path)
{
    return path == kStandardInput ? "standard input" : path;
}

// Checks a page's header against the mode and the first page, before any pixel is read;
// `coloursLeft` colours of the mode have no page yet.
SPageFile Page_Check(const std::string& path, int maskBits, const SPageFile* first,
                     int coloursLeft)
{
    SPageFile page;
    page.path = path;
    const std::string name = PageName(path);
    try {
        page.reader = CPageReader::Open(path);
        page.reader->ChooseLevels(maskBits);
    } catch (const PageRefusal& refusal) {
        throw CommandRefusal(refusal.what());
    }
    page.info = page.reader->Header();
    page.quantized = page.reader->Quantized();
    const SPageHeader& info = page.info;
    if (info.channels > coloursLeft)
        throw CommandRefusal(name + " has " + std::to_string(info.channels) +
                             " channel(s), but " + std::to_string(coloursLeft) +
                             " of the mode's colours (--color-count) are left for it: give one "
                             "page per colour, or a TIFF of as many inks as colours");
    if (first != nullptr && (info.width != first->info.width || info.height != first->info.height))
        throw CommandRefusal(name + " is " + SizeText(info.width, info.height) + ", but " +
                             PageName(first->path) + " is " +
                             SizeText(first->info.width, first->info.height) +
                             ": every colour's page must have the same size");
    return page;
}

// Hands the lines of `channel` of a page, in the mask's levels, to `onLine` in order, from its
// checked header; closes the page after its last channel. A page of several channels is read
// once per channel, so that one colour's swaths are in memory at a time.
void Page_Stream(SPageFile& file, int channel, int maskBits,
                 const std::function<void(const unsigned char*)>& onLine)
{
    CPageReader& reader = *file.reader;
    reader.Rewind();
    std::vector<unsigned char> line(rv_analysis::PackedRowBytes(file.info.width, maskBits));
    for (int y = 0; y < file.info.height; ++y) {
        reader.ReadLine(channel, line.data(), line.size());
        onLine(line.data());
    }
    if (channel + 1 == file.info.channels)
        file.reader.reset();
}

// Every name split writes in its output folder (SwathName's and plan.json), and so removes there
// when an earlier run left it.
const std::vector<std::regex>& OwnNames()
{
    static const std::vector<std::regex> names = {std::regex(R"(pass\d{4,}_c\d+\.(raw|png))"),
                                                  std::regex(R"(plan\.json)")};
    return names;
}

// A page that is one of the files the split replaces or removes (the same file, by device and
// inode, under whatever path) would be lost to the run's own output: refused.
void Pages_CheckNotOutputs(const std::vector<SPageFile>& pages, const std::string& outDir)
{
    for (const std::string& output : OwnEntries(outDir, OwnNames()))
        for (const SPageFile& page : pages) {
            std::error_code unrelated;  // a link to nothing is no page
            // Standard input may be redirected from one of them.
            const std::string file = page.path == kStandardInput ? "/dev/stdin" : page.path;
            if (std::filesystem::equivalent(file, output, unrelated))
                throw CommandRefusal(PageName(page.path) + " is the file " + output +
                                     ", which split replaces: give pages from outside its "
                                     "passNNNN_cC.raw, .png and plan.json names in --out");
        }
}

std::string SwathName(int pass, int colour, const char* extension)
{
    char name[64];
    std::snprintf(name, sizeof name, "pass%04d_c%d.%s", pass, colour, extension);
    return name;
}

// "C:LINES,COLS" of --head-offset, one per colour: the offsets of every colour (0,0 when not
// given).
std::vector<rv_analysis::SHeadOffset> HeadOffsets(const std::vector<std::string>& given,
                                                  int colours)
{
    std::vector<rv_analysis::SHeadOffset> offsets(static_cast<size_t>(colours));
    std::vector<bool> seen(offsets.size(), false);
    static const std::regex form(R"((\d{1,9}):(-?\d{1,18}),(-?\d{1,18}))");
    for (const std::string& text : given) {
        std::smatch parts;
        if (!std::regex_match(text, parts, form))
            throw CommandRefusal("--head-offset \"" + text +
                                 "\": give COLOUR:LINES,COLUMNS, e.g. 1:-12,40");
        const int colour = std::stoi(parts[1]);
        if (colour >= colours)
            throw CommandRefusal("--head-offset \"" + text + "\" is for colour " +
                                 std::to_string(colour) + ", but the mode has colours 0 to " +
                                 std::to_string(colours - 1));
        if (seen[static_cast<size_t>(colour)])
            throw CommandRefusal("--head-offset given twice for colour " + std::to_string(colour) +
                                 ": one offset per colour's head");
        seen[static_cast<size_t>(colour)] = true;
        const long long lines = std::stoll(parts[2]);
        const long long columns = std::stoll(parts[3]);
        const std::string refusal = rv_analysis::HeadOffsetRefusal(lines, columns);
        if (!refusal.empty())
            throw CommandRefusal("--head-offset \"" + text + "\": " + refusal);
        const rv_analysis::SHeadOffset offset{static_cast<int>(lines), static_cast<int>(columns)};
        offsets[static_cast<size_t>(colour)] = offset;
    }
    return offsets;
}

// Splits one colour as its page streams in, placed in the print frame: every swath to its files
// and into the recombination check as soon as its lines have arrived.
SRecombinationVerdict Colour_Split(const rv_analysis::CPrintPlan& plan, int colour,
                                   SPageFile& page, const SSplitOptions& options,
                                   CStagedFolder& out, SSplitReport& split, SReport& report,
                                   Progress& progress)
{
    const rv_analysis::CPrintFrame& frame = *split.frame;
    const rv_analysis::SPageLayout layout = frame.Frame();
    rv_analysis::CRecombination check(plan, colour, layout);
    std::vector<unsigned char> block;  // a swath in head order
    rv_analysis::CPageSplitter splitter(plan, colour, layout, [&](const SSwath& swath) {
        SPassEntry& entry = split.passes[static_cast<size_t>(swath.pass)];
        const rv_analysis::SPhysicalPass pass = plan.Pass(swath.pass);
        entry.swath = swath;
        entry.swath.bytes = nullptr;
        entry.advanceBefore = pass.advanceBefore;
        entry.nozzle0Line = pass.nozzle0Line;
        const unsigned char* bytes = swath.bytes;
        entry.fileRows = swath.rows;
        if (options.order == ESwathOrder::Head) {
            rv_analysis::SwathInHeadOrder(plan, swath, options.direction, block);
            bytes = block.data();
            entry.fileRows = plan.HeadNozzles();
        }
        const std::string raw = SwathName(swath.pass, colour, "raw");
        WriteFileBytes(out.Stage(raw), bytes, static_cast<size_t>(entry.fileRows) * swath.rowBytes);
        entry.files.push_back(raw);
        report.files.push_back(options.outDir + "/" + raw);
        if (options.png && swath.rows > 0) {
            const std::string png = SwathName(swath.pass, colour, "png");
            PngOptions dark;
            dark.invert = true;
            WritePngGreyPacked(out.Stage(png), bytes, swath.columns, entry.fileRows,
                               static_cast<int>(swath.rowBytes), layout.bitsPerPixel, dark);
            report.files.push_back(options.outDir + "/" + png);
        }
        check.Lay(swath);
    });
    if (!splitter.Accepted())
        throw CommandRefusal(splitter.Refusal());
    split.passes.resize(static_cast<size_t>(splitter.PassCount()));
    const size_t rowBytes = rv_analysis::PackedRowBytes(layout.width, layout.bitsPerPixel);
    std::vector<unsigned char> frameLine(rowBytes, 0);
    // Progress by lines of all the colours' pages: a single long page shows it too.
    const long long allLines = static_cast<long long>(plan.ColorCount()) * layout.height;
    const long long linesBefore = static_cast<long long>(colour) * layout.height;
    const auto push = [&]() {
        progress.Update(linesBefore + splitter.LinesReceived(), allLines);
        check.PushLines(frameLine.data(), 1, rowBytes);
        if (!splitter.PushLines(frameLine.data(), 1, rowBytes))
            throw CommandRefusal(PageName(page.path) + ": " + splitter.Refusal());
    };
    for (int line = 0; line < frame.LinesBefore(colour); ++line)
        push();
    Page_Stream(page, colour - page.firstColour, plan.BitsPerPixel(), [&](const unsigned char* line) {
        frame.PlaceRow(colour, line, frameLine.data());
        push();
    });
    std::fill(frameLine.begin(), frameLine.end(), 0);
    for (int line = 0; line < frame.LinesAfter(colour); ++line)
        push();
    if (!splitter.Finished())
        throw CommandRefusal(PageName(page.path) + ": " +
                             std::to_string(splitter.LinesReceived()) +
                             " of its " + std::to_string(layout.height) +
                             " lines split: " + splitter.Refusal());
    return check.Verdict();
}

nlohmann::ordered_json PageJson(const SSplitReport& split)
{
    return {{"width", split.width},
            {"height", split.height},
            {"bitsPerPixel", split.bitsPerPixel},
            {"rowBytes", split.rowBytes}};
}

nlohmann::ordered_json HeadJson(const SHeadEntry& head)
{
    return {{"nozzles", head.nozzles},
            {"headNozzles", head.headNozzles},
            {"nozzlePitchLines", head.yPhases},
            {"xPhases", head.xPhases},
            {"yPhases", head.yPhases},
            {"passesPerPosition", head.xPhases * head.yPhases},
            {"positions", head.positions},
            {"stepLines", head.stepLines},
            {"realStepLines", head.realStepLines},
            {"yPhaseShiftLines", rv_analysis::kYPhaseShift},
            {"leadLines", head.leadLines}};
}

const char* OrderName(ESwathOrder order) { return order == ESwathOrder::Head ? "head" : "page"; }

// Where every colour's page lies in the frame the passes are planned over.
nlohmann::ordered_json FrameJson(const rv_analysis::CPrintFrame& frame, int colours)
{
    nlohmann::ordered_json placed = nlohmann::ordered_json::array();
    for (int c = 0; c < colours; ++c)
        placed.push_back({{"color", c},
                          {"offsetLines", frame.Offset(c).lines},
                          {"offsetColumns", frame.Offset(c).columns},
                          {"firstLine", frame.FirstLine(c)},
                          {"firstColumn", frame.FirstColumn(c)}});
    const rv_analysis::SPageLayout& layout = frame.Frame();
    return {{"width", layout.width},
            {"height", layout.height},
            {"rowBytes", rv_analysis::PackedRowBytes(layout.width, layout.bitsPerPixel)},
            {"colors", placed}};
}

// How a file's rows and pixels map to nozzles, frame lines and frame columns, in the keys of a
// pass.
nlohmann::ordered_json RulesJson(const SSplitOptions& options)
{
    const bool head = options.order == ESwathOrder::Head;
    const bool down = options.direction == rv_analysis::ENozzleDirection::Down;
    return {{"nozzleOfRow", !head  ? "firstNozzle + row"
                            : down ? "row"
                                   : "headNozzles - 1 - row"},
            {"pageLineOfRow",
             head ? "nozzle0Line + nozzleOfRow * yPhases" : "firstPageLine + row * yPhases"},
            {"pageLineOfNozzle", "nozzle0Line + nozzle * yPhases"},
            {"maskRowOfNozzle", "nozzle * yPhases + yPhase"},
            {"pageColumnOfPixel", "pixel * xPhases + xPhase"},
            {"rowsOfFile", head ? "headNozzles" : "rows"},
            {"nozzleFires", "firstNozzle <= nozzle < firstNozzle + rows"},
            {"colorLineOfPageLine", "pageLine - frame.colors[c].firstLine"},
            {"colorColumnOfPageColumn", "pageColumn - frame.colors[c].firstColumn"}};
}

void Plan_Write(const SSplitReport& report, const SSplitOptions& options, const std::string& path)
{
    nlohmann::ordered_json passes = nlohmann::ordered_json::array();
    for (const SPassEntry& entry : report.passes) {
        const SSwath& swath = entry.swath;
        passes.push_back({{"pass", swath.pass},
                          {"print", swath.print},
                          {"position", swath.position},
                          {"xPhase", swath.xPhase},
                          {"yPhase", swath.yPhase},
                          {"advanceLines", entry.advanceBefore},
                          {"nozzle0Line", entry.nozzle0Line},
                          {"firstNozzle", swath.firstNozzle},
                          {"firstPageLine", swath.firstPageLine},
                          {"rows", swath.rows},
                          {"fileRows", entry.fileRows},
                          {"columns", swath.columns},
                          {"rowBytes", swath.rowBytes},
                          {"bytes", static_cast<size_t>(entry.fileRows) * swath.rowBytes},
                          {"files", entry.files}});
    }
    const nlohmann::ordered_json plan = {
        {"page", PageJson(report)},
        {"order", OrderName(options.order)},
        {"nozzleDirection", rv_analysis::NozzleDirectionName(options.direction)},
        {"frame", FrameJson(*report.frame, static_cast<int>(report.colours.size()))},
        {"head", HeadJson(report.head)},
        {"rules", RulesJson(options)},
        {"colors", report.colours.size()},
        {"passes", passes}};
    const std::string text = plan.dump(2) + "\n";
    WriteFileBytes(path, text.data(), text.size());
}

// A colour's failure in words, for the reason of a report that is not met.
std::string FaultText(const SRecombinationVerdict& verdict)
{
    std::string text = "colour " + std::to_string(verdict.colorIndex) + ":";
    if (verdict.checked && verdict.mismatches > 0)
        text += " " + std::to_string(verdict.mismatches) + " pixels not laid as promised (" +
                verdict.expectation + ")";
    if (verdict.outside > 0)
        text += " " + std::to_string(verdict.outside) + " pixels laid outside the page";
    if (verdict.partial > 0)
        text += " " + std::to_string(verdict.partial) + " pixels laid at part of their level";
    return text;
}

// The colours whose swaths are not laid as promised, in words; empty when all are.
std::string Faults(const SSplitReport& split)
{
    std::string faults;
    for (const SRecombinationVerdict& verdict : split.colours)
        if (!verdict.Clean())
            faults += (faults.empty() ? "" : "; ") + FaultText(verdict);
    return faults;
}

void Split_Make(const SSplitOptions& options, SSplitReport& split, SReport& report)
{
    // Page order's rows run top down whatever the head's numbering: an "up" there would be lost.
    if (options.order == ESwathOrder::Page &&
        options.direction == rv_analysis::ENozzleDirection::Up) {
        report.Refuse("--nozzle-direction up orders the rows of --order head; page order writes "
                      "them top down: give --order head");
        return;
    }
    const std::unique_ptr<CMaskData_Base> mask = BuildMask(options.param, report);
    if (!mask)
        return;
    const rv_analysis::CPrintPlan plan(*mask);
    if (!plan.Accepted()) {
        report.Refuse(plan.Refusal());
        return;
    }
    const auto refuseCount = [&](int channels) {
        report.Refuse(std::to_string(options.pages.size()) + " page(s) given" +
                      (channels > static_cast<int>(options.pages.size())
                           ? " of " + std::to_string(channels) + " channels"
                           : "") +
                      ", but the mode has " + std::to_string(plan.ColorCount()) +
                      " colour(s) (--color-count): give one page per colour, or a TIFF of as "
                      "many inks as colours");
    };
    // Every page has a channel at least: too many pages are refused before any is opened.
    if (static_cast<int>(options.pages.size()) > plan.ColorCount()) {
        refuseCount(static_cast<int>(options.pages.size()));
        return;
    }
    if (std::count(options.pages.begin(), options.pages.end(), kStandardInput) > 1) {
        report.Refuse("standard input (-) given as more than one page: it holds one page");
        return;
    }
    int colours = 0;
    for (const std::string& path : options.pages) {
        split.pages.push_back(Page_Check(path, plan.BitsPerPixel(),
                                         split.pages.empty() ? nullptr : &split.pages.front(),
                                         plan.ColorCount() - colours));
        split.pages.back().firstColour = colours;
        colours += split.pages.back().info.channels;
    }
    if (colours != plan.ColorCount()) {
        refuseCount(colours);
        return;
    }
    for (size_t p = 0; p < split.pages.size(); ++p)
        split.pageOfColour.insert(split.pageOfColour.end(),
                                  static_cast<size_t>(split.pages[p].info.channels), p);
    split.width = split.pages.front().info.width;
    split.height = split.pages.front().info.height;
    split.bitsPerPixel = plan.BitsPerPixel();
    split.rowBytes = rv_analysis::PackedRowBytes(split.width, split.bitsPerPixel);
    split.head = {plan.NozzleCount(),   plan.HeadNozzles(), plan.XPasses(),  plan.YPasses(),
                  plan.PositionCount(), plan.StepHeight(),  plan.RealStep(), plan.LeadLines()};
    split.frame = std::make_unique<rv_analysis::CPrintFrame>(
        rv_analysis::SPageLayout{split.width, split.height, split.bitsPerPixel},
        HeadOffsets(options.headOffsets, plan.ColorCount()));
    if (!split.frame->Accepted())
        throw CommandRefusal(split.frame->Refusal());

    Pages_CheckNotOutputs(split.pages, options.outDir);
    CStagedFolder out(options.outDir);
    Progress progress("splitting pages");
    for (int c = 0; c < plan.ColorCount(); ++c)
        split.colours.push_back(Colour_Split(plan, c, split.pages[split.pageOfColour[static_cast<size_t>(c)]],
                                             options, out, split, report, progress));
    progress.Update(1, 1);
    split.allSplit = true;
    Plan_Write(split, options, out.Stage("plan.json"));
    out.Commit(OwnNames());
    split.written = true;
    report.files.push_back(options.outDir + "/plan.json");
    const std::string faults = Faults(split);
    if (!faults.empty())
        report.NotMet(faults);
}

nlohmann::ordered_json Split_ToJson(const SSplitReport& split, const SSplitOptions& options)
{
    nlohmann::ordered_json pages = nlohmann::ordered_json::array();
    for (const SPageFile& page : split.pages)
        pages.push_back(
            {{"file", page.path},
             {"format", page.info.format},
             {"bitDepth", page.info.bitDepth},
             {"channels", page.info.channels},
             {"quantized", page.quantized}});
    nlohmann::ordered_json colours = nlohmann::ordered_json::array();
    for (const SRecombinationVerdict& verdict : split.colours) {
        nlohmann::ordered_json colour = {{"color", verdict.colorIndex},
                                         {"promise", rv_analysis::PromiseName(verdict.promise)},
                                         {"expectation", verdict.expectation},
                                         {"requested", verdict.requested},
                                         {"laid", verdict.laid},
                                         {"outside", verdict.outside},
                                         {"partial", verdict.partial},
                                         {"checked", verdict.checked}};
        // "met" is said only of a promise that was checked.
        if (verdict.checked) {
            colour["mismatches"] = verdict.mismatches;
            colour["met"] = verdict.met;
        }
        colours.push_back(colour);
    }
    nlohmann::ordered_json own = {{"pages", pages}};
    // A page that failed part way leaves no verdict: the earlier colours' alone would read as the
    // result.
    if (split.allSplit) {
        own["page"] = PageJson(split);
        own["passes"] = split.passes.size();
        if (split.written)
            own["plan"] = options.outDir + "/plan.json";
        own["colors"] = colours;
    }
    return own;
}

// How a page's values became the mask's levels, when they had more.
std::string QuantisedText(const SPageFile& page)
{
    if (!page.quantized)
        return "";
    if (page.info.palette)
        return " (palette greys quantised to the mask's levels)";
    return " (" + std::to_string(page.info.bitDepth) + "-bit values quantised to the mask's levels)";
}

void Split_Print(const SSplitReport& split, const SSplitOptions& options, size_t files)
{
    if (!split.written)
        return;
    std::printf("Split %zu page(s) of %s, %d bit(s) a pixel, into %zu passes: %zu files in %s\n",
                split.pages.size(), SizeText(split.width, split.height).c_str(), split.bitsPerPixel,
                split.passes.size(), files, options.outDir.c_str());
    for (size_t c = 0; c < split.colours.size(); ++c) {
        const SPageFile& page = split.pages[split.pageOfColour[c]];
        const SRecombinationVerdict& verdict = split.colours[c];
        const std::string channel =
            page.info.channels > 1
                ? " channel " + std::to_string(static_cast<int>(c) - page.firstColour)
                : "";
        std::printf("  colour %zu: %s%s%s\n", c, PageName(page.path).c_str(), channel.c_str(),
                    QuantisedText(page).c_str());
        std::printf("    %lld pixels with ink, %lld laid; expected: %s -> %s\n", verdict.requested,
                    verdict.laid, verdict.expectation.c_str(),
                    !verdict.Clean()  ? FaultText(verdict).c_str()
                    : verdict.checked ? "met"
                                      : "not checked, nothing laid outside the page");
    }
}

void RunSplit(const SSplitOptions& options, SReport& report)
{
    SSplitReport split;
    // The report says how far the split came, also when a page is refused or a file fails.
    const auto tell = [&options, &split, &report]() {
        report.own = Split_ToJson(split, options);
        if (!options.json)
            Split_Print(split, options, report.files.size());
    };
    try {
        Split_Make(options, split, report);
    } catch (...) {
        // The folder was left as it was: none of the run's files stays.
        report.files.clear();
        tell();
        throw;
    }
    tell();
    if (report.status == EReportStatus::Ok)
        std::fprintf(stderr, "split: %zu colour(s), %zu passes, every swath as the mode promises\n",
                     split.colours.size(), split.passes.size());
}

}  // namespace

CommandRun AddSplitCommand(CLI::App& app)
{
    auto options = std::make_shared<SSplitOptions>();
    CLI::App* command = app.add_subcommand(
        "split", "Cut halftoned pages (a grey PNG or TIFF per colour, or a TIFF of several inks) "
                 "into the swath of every pass, and "
                 "check that the passes lay each page as the mode promises");
    command
        ->add_option("pages", options->pages,
                     "the pages in colour order: a PNG or TIFF per colour (grey, dark is ink, or "
                     "a TIFF separation, a value is ink), or a TIFF of several inks (CMYK or N "
                     "channels, one colour each); 1 or 2 bits as the mode's pixels, or 8 or 16 "
                     "bits or a palette of greys (quantised to the mode's levels); - reads one "
                     "from standard input")
        ->required();
    AddRecordOptions(*command, options->param);
    command->add_option("--out", options->outDir, "folder for the swaths and plan.json")
        ->required();
    command
        ->add_option("--order", options->order,
                     "page: the nozzles that reach the page, top down; head: every nozzle of "
                     "the head in its numbering (see --nozzle-direction)")
        ->transform(CLI::CheckedTransformer(
            std::map<std::string, ESwathOrder>{{"page", ESwathOrder::Page},
                                               {"head", ESwathOrder::Head}}))
        ->default_str("page");
    command
        ->add_option("--nozzle-direction", options->direction,
                     "with --order head: down (nozzle 0 at the top of the swath, first in the "
                     "file) or up (the last nozzle first)")
        ->transform(CLI::CheckedTransformer(std::map<std::string, rv_analysis::ENozzleDirection>{
            {"down", rv_analysis::ENozzleDirection::Down},
            {"up", rv_analysis::ENozzleDirection::Up}}))
        ->default_str("down");
    command
        ->add_option("--head-offset", options->headOffsets,
                     "C:LINES,COLS: colour C's head is mounted LINES page lines down and COLS "
                     "columns right of the others (each -65536 to 65536; repeat per colour)")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command->add_flag("--png", options->png, "also write every swath as a PNG (ink dark)");
    command->add_flag("--json", options->json, "print the report as JSON");
    return ReportedRun(command, options->json,
                       [options](SReport& report) { RunSplit(*options, report); });
}
