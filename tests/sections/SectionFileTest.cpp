#include "sections/SectionFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Bytes from memory in pieces of a set size, failing with a cause once `failAt` bytes are out.
struct Pieces {
    std::string bytes;
    std::size_t piece;
    std::size_t failAt = std::string::npos;
    std::size_t at = 0;
};

bool readPiece(void* context, char* buffer, std::size_t capacity, std::size_t& got, Cause& why) {
    auto& source = *static_cast<Pieces*>(context);
    if (source.at >= source.failAt) {
        why = causeOf(CauseKind::cannotRead);
        why.reason = "Input/output error";
        return false;
    }
    got = std::min({capacity, source.piece, source.bytes.size() - source.at});
    source.bytes.copy(buffer, got, source.at);
    source.at += got;
    return true;
}

struct Written {
    std::string bytes;
    bool refuse = false;
};

bool writeOrRefuse(void* context, const char* bytes, std::size_t count, Cause& why) {
    auto& sink = *static_cast<Written*>(context);
    if (sink.refuse) {
        why = causeOf(CauseKind::cannotWrite);
        why.reason = "No space left on device";
        return false;
    }
    sink.bytes.append(bytes, count);
    return true;
}

TEST(SectionFile, LoadsWhatTheSourceDeliversAndSavesItInFileLayout) {
    const std::string line = "k=" + std::string(200000, 'x');
    for (std::size_t piece : {std::size_t{1}, std::size_t{4096}, std::size_t{1} << 20}) {
        Pieces source{"[a]\n" + line + "\n[b]\n" + line, piece};
        SectionList list;
        Cause why;
        ASSERT_TRUE(loadSections(ByteSource{readPiece, &source}, list, why));
        Written sink;
        ASSERT_TRUE(saveSections(list, ByteSink{writeOrRefuse, &sink}, why));
        EXPECT_EQ(sink.bytes, "[a]\r\n" + line + "\r\n[b]\r\n" + line + "\r\n") << piece;
        discardSections(list);
    }
}

// A file that was only partly read, or not read as text, must never be written back: its list is
// left empty, and the cause is the source's own or the parser's.
TEST(SectionFile, AFailedLoadLeavesNoSectionsAndSaysWhy) {
    const struct {
        Pieces source;
        CauseKind why;
    } rows[] = {
        {{"[a]\nx=1\n[b]\n", 4, 8}, CauseKind::cannotRead},
        {{std::string("[a]\r\n\0\r\n", 8), 3}, CauseKind::nulByte},
    };
    for (auto row : rows) {
        SectionList list;
        Cause why;
        EXPECT_FALSE(loadSections(ByteSource{readPiece, &row.source}, list, why));
        EXPECT_EQ(why.kind, row.why);
        EXPECT_EQ(list.head, nullptr);
    }
}

TEST(SectionFile, SavingPassesOnTheSinksRefusalAndWritesNothingForAnEmptyList) {
    Pieces source{"[a]\nx=1\n", 64};
    SectionList list;
    Cause why;
    ASSERT_TRUE(loadSections(ByteSource{readPiece, &source}, list, why));
    Written full;
    full.refuse = true;
    EXPECT_FALSE(saveSections(list, ByteSink{writeOrRefuse, &full}, why));
    EXPECT_EQ(why.kind, CauseKind::cannotWrite);
    EXPECT_STREQ(why.reason.c_str(), "No space left on device");

    discardSections(list);
    Written sink;
    EXPECT_FALSE(saveSections(list, ByteSink{writeOrRefuse, &sink}, why));
    EXPECT_EQ(why.kind, CauseKind::noSectionsLoaded);
    EXPECT_EQ(sink.bytes, "");
}

}  // namespace
