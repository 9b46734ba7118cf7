// Writes aircraft.cfg files for the benchmark.
//
//   make_aircraft_cfg realistic ENTRIES FILE   a [general] section and ENTRIES aircraft entries of
//                                              about 15 key lines each, with shuffled, gapped and
//                                              repeated numbers, comments and blank lines
//   make_aircraft_cfg one-section LINES FILE   one section of LINES body lines
//   make_aircraft_cfg tiny-sections COUNT FILE COUNT sections of one key line each
//   make_aircraft_cfg bare-headers COUNT FILE  COUNT header lines "[" and nothing else: the
//                                              shape that costs the most memory per byte of file
//
// The output depends only on the arguments, so runs can be compared.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

void realistic(long entries, std::FILE* out) {
    std::mt19937 random(20261208);
    std::fputs(
        "// Generated for the benchmark\r\n\r\n[general]\r\natc_type=PEBBLEWING\r\n"
        "atc_model=PWP2\r\neditable=1\r\n\r\n",
        out);
    for (long i = 0; i < entries; ++i) {
        // Numbers as hand-edited files have them: mostly near their place, some repeated, some
        // far off.
        const long number = (random() % 4 == 0) ? static_cast<long>(random() % (entries + 50))
                                                : i + static_cast<long>(random() % 3);
        if (random() % 10 == 0) {
            std::fprintf(out, "//[fltsim.%ld] kept for reference\r\n//title=Old livery %ld\r\n\r\n",
                         number, i);
        }
        std::fprintf(out, "[fltsim.%ld]%s\r\n", number,
                     random() % 8 == 0 ? " // copied from another package" : "");
        std::fprintf(out,
                     "title=Pebblewing P2 - Livery %ld\r\n"
                     "sim=PebblewingP2\r\n"
                     "model=\r\n"
                     "panel=\r\n"
                     "sound=\r\n"
                     "texture=livery_%ld\r\n"
                     "kb_checklists=PebblewingP2_check\r\n"
                     "kb_reference=PebblewingP2_ref\r\n"
                     "atc_id=N%ldPW\r\n"
                     "atc_airline=\r\n"
                     "atc_flight_number=\r\n"
                     "ui_manufacturer=Pebblewing Aircraft Works\r\n"
                     "ui_type=Pebblewing P2\r\n"
                     "ui_variation=Livery %ld\r\n"
                     "description=A four-seat trainer in the colours of livery %ld.\r\n\r\n",
                     i, i, 100 + i % 900, i, i);
    }
    std::fputs("[views]\r\neyepoint=-1.9, -0.9, 2.2\r\n", out);
}

void oneSection(long lines, std::FILE* out) {
    std::fputs("[fltsim.7]\r\n", out);
    for (long i = 0; i < lines; ++i) {
        std::fprintf(out, "key_%ld=value number %ld\r\n", i, i);
    }
}

void tinySections(long count, std::FILE* out) {
    for (long i = 0; i < count; ++i) {
        std::fprintf(out, "[fltsim.%ld]\r\nx=%ld\r\n", count - i, i % 10);
    }
}

void bareHeaders(long count, std::FILE* out) {
    for (long i = 0; i < count; ++i) {
        std::fputs("[\r\n", out);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: %s realistic|one-section|tiny-sections|bare-headers COUNT FILE\n",
                     argv[0]);
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr) {
        std::perror(argv[3]);
        return 1;
    }
    const std::string shape = argv[1];
    if (shape == "realistic") {
        realistic(count, out);
    } else if (shape == "one-section") {
        oneSection(count, out);
    } else if (shape == "tiny-sections") {
        tinySections(count, out);
    } else if (shape == "bare-headers") {
        bareHeaders(count, out);
    } else {
        std::fprintf(stderr, "unknown shape %s\n", argv[1]);
        return 2;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
