// A stand-in for the transcoder in the conversion tests. It takes the
// transcoder's command line (-i <input> ... <output>), reports on stderr in
// the transcoder's shape, and writes the output file. The input's name asks
// for special behaviour:
//   "broken": reports an error line and writes nothing;
//   "slow":   spreads the conversion's progress over a few seconds;
//   "nolf":   ends the thumbnail's report with an error line that has no
//             line break (the last output of the batch).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

void Say(const std::string& text)
{
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char** argv)
{
    std::string input;
    std::string output;
    bool thumbnail = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-i" && i + 1 < argc)
            input = argv[++i];
        else if (arg == "image2")
            thumbnail = true;
        else if (i == argc - 1)
            output = arg;
    }
    if (input.empty() || output.empty()) {
        Say("Error: usage: fake_transcoder -i <input> [options] <output>\n");
        return 1;
    }
    const bool broken = input.find("broken") != std::string::npos;
    const bool slow = input.find("slow") != std::string::npos;
    const bool noLineBreak = thumbnail && input.find("nolf") != std::string::npos;

    Say("Input #0, avi, from '" + input + "':\n");
    Say("  Duration: 00:00:02.00, start: 0.000000, bitrate: 800 kb/s\n");
    Say("    Stream #0.0: Video: mpeg4, yuv420p, 320x240, 25 tbr\n");
    if (broken) {
        Say(input + ": I/O error occured\n");
        return 1;
    }
    Say("Output #0, dvd, to '" + output + "':\n");
    Say("Stream mapping:\n");
    Say("  Stream #0.0 -> #0.0\n");
    Say("[mpeg2video @ 0x1234] a codec note\n");
    const int steps = slow && !thumbnail ? 30 : 4;
    for (int step = 1; step <= steps; ++step) {
        if (steps > 4)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double seconds = thumbnail ? 0.04 : 2.0 * step / steps;
        char line[128];
        std::snprintf(line, sizeof line, "frame=%5d q=2.0 size=%8dkB time=%.2f bitrate= 800.0kbits/s\r", step * 10,
                      step * 20, seconds);
        Say(line);
    }
    Say("\n");
    std::ofstream(output, std::ios::binary) << "fake output of " << input << "\n";
    if (noLineBreak)
        Say("Error writing trailer of " + output);
    return 0;
}
