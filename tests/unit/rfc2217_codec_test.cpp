// The panel's end of a Telnet COM port (RFC 2217) line, byte for byte
// against what ser2net 4 sends: the options agreed without loops, the far
// port set to the line settings, 0xFF escaped both ways and every Telnet
// command kept out of the unit's data, however the bytes are split.

#include <gtest/gtest.h>

#include "lines/rfc2217_codec.h"

namespace plenvo {
namespace {

using namespace telnet;
using Bytes = Rfc2217Codec::Bytes;

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// ser2net's first words to a client of a telnet(rfc2217) accepter: WILL
// SGA, DO SGA, WILL ECHO, DONT ECHO, DO BINARY, WILL BINARY, DO COM-PORT.
const Bytes kSer2netOpening{kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 1, kIac, kDont, 1,
                            kIac, kDo, 0, kIac, kWill, 0, kIac, kDo, 44};
// What it said next: a modem state notice, DO SGA once more, then its
// answers to the five settings (baud 9600, 8 bits, no parity, 1 stop
// bit, no flow control).
const Bytes kSer2netAfterGreeting{kIac, kSb, 44, 107, 0, kIac, kSe, kIac, kDo, 3};
const Bytes kSer2netSettingsAnswers{kIac, kSb, 44, 101, 0, 0, 0x25, 0x80, kIac, kSe, kIac, kSb, 44, 102, 8, kIac, kSe,
                                    kIac, kSb, 44, 103, 1, kIac, kSe, kIac, kSb, 44, 104, 1, kIac, kSe,
                                    kIac, kSb, 44, 105, 1, kIac, kSe};

// SET-BAUDRATE 9600, SET-DATASIZE 8, SET-PARITY NONE, SET-STOPSIZE 1,
// SET-CONTROL no flow control.
const Bytes kSettings9600N81{kIac, kSb, 44, 1, 0, 0, 0x25, 0x80, kIac, kSe, kIac, kSb, 44, 2, 8, kIac, kSe,
                             kIac, kSb, 44, 3, 1, kIac, kSe, kIac, kSb, 44, 4, 1, kIac, kSe,
                             kIac, kSb, 44, 5, 1, kIac, kSe};

Rfc2217Codec::Decoded decode(Rfc2217Codec& codec, const Bytes& bytes)
{
    Rfc2217Codec::Decoded out;
    codec.decode(bytes, out);
    return out;
}

TEST(Rfc2217Codec, GreetsWithBinaryAndSuppressGoAheadBothWaysAndComPortControl)
{
    Rfc2217Codec codec{LineSettings{}};
    EXPECT_EQ(codec.greeting(), (Bytes{kIac, kWill, 0, kIac, kDo, 0, kIac, kWill, 3, kIac, kDo, 3, kIac, kWill, 44}));
}

TEST(Rfc2217Codec, AgreesWithSer2netAndSetsTheFarPortOnceItTakesComPortCommands)
{
    Rfc2217Codec codec{LineSettings{}};
    codec.greeting();

    // Its requests answer ours, so only the unwanted echo is refused;
    // DONT ECHO asks for what is so already and goes unanswered.
    const Rfc2217Codec::Decoded opening = decode(codec, kSer2netOpening);
    EXPECT_EQ(opening.replies, cat({{kIac, kDont, 1}, kSettings9600N81}));
    EXPECT_TRUE(opening.data.empty());

    // Answers, notices and a repeated request need nothing more.
    const Rfc2217Codec::Decoded later = decode(codec, cat({kSer2netAfterGreeting, kSer2netSettingsAnswers}));
    EXPECT_TRUE(later.replies.empty());
    EXPECT_TRUE(later.data.empty());
}

TEST(Rfc2217Codec, AnswersRequestsItDidNotMakeAndRefusesWhatItDoesNotSupport)
{
    Rfc2217Codec codec{LineSettings{}};
    const Rfc2217Codec::Decoded out =
        decode(codec, {kIac, kWill, 0, kIac, kDo, 3, kIac, kDo, 24, kIac, kWill, 44, kIac, kDo, 44});
    EXPECT_EQ(out.replies, cat({{kIac, kDo, 0, kIac, kWill, 3},
                                {kIac, kWont, 24},   // terminal type: no
                                {kIac, kDont, 44},   // the server sets nothing of ours
                                {kIac, kWill, 44},
                                kSettings9600N81}));
}

TEST(Rfc2217Codec, AcknowledgesASwitchOffOnceAndNeverRepeatsItself)
{
    Rfc2217Codec codec{LineSettings{}};
    codec.greeting();
    decode(codec, kSer2netOpening);

    EXPECT_EQ(decode(codec, {kIac, kDont, 0, kIac, kWont, 0}).replies, (Bytes{kIac, kWont, 0, kIac, kDont, 0}));
    EXPECT_TRUE(decode(codec, {kIac, kDont, 0, kIac, kWont, 0, kIac, kWont, 1}).replies.empty());
    // Switched on again at the server's request: agreed once.
    EXPECT_EQ(decode(codec, {kIac, kDo, 0, kIac, kDo, 0}).replies, (Bytes{kIac, kWill, 0}));
}

TEST(Rfc2217Codec, SetsTheFarPortToOtherSettingsWithTheirOwnCodes)
{
    Rfc2217Codec codec{LineSettings{255, Parity::Even, 7, 2}};
    codec.greeting();
    const Rfc2217Codec::Decoded out = decode(codec, {kIac, kDo, 44});
    // The baud rate's 0xFF byte is doubled inside the subnegotiation too.
    EXPECT_EQ(out.replies, (Bytes{kIac, kSb, 44, 1, 0, 0, 0, kIac, kIac, kIac, kSe, kIac, kSb, 44, 2, 7, kIac, kSe,
                                  kIac, kSb, 44, 3, 3, kIac, kSe, kIac, kSb, 44, 4, 2, kIac, kSe,
                                  kIac, kSb, 44, 5, 1, kIac, kSe}));
}

TEST(Rfc2217Codec, DoublesEach0xFFOfTheUnitsData)
{
    EXPECT_EQ(Rfc2217Codec::encode(Bytes{'B', 'R', 255}), (Bytes{'B', 'R', 255, 255}));
    EXPECT_EQ(Rfc2217Codec::encode(Bytes{255, 255, 0}), (Bytes{255, 255, 255, 255, 0}));
    EXPECT_EQ(Rfc2217Codec::encode(Bytes{'O', 'U', 6}), (Bytes{'O', 'U', 6}));
}

// A report of 255 between Telnet commands of every kind, as ser2net may
// interleave them with the unit's bytes.
const Bytes kMixedStream = cat({{'B', 'R', kIac, kIac},
                                {kIac, 241},                      // NOP
                                {kIac, 249},                      // GO AHEAD
                                {'C', kIac, kSb, 44, 106, kIac, kIac, 0x10, kIac, kSe, 'O'},  // line state notice
                                {kIac, kWill, 1},                 // refused: DONT 1
                                {40},
                                {kIac, kSe},                      // stray end of subnegotiation
                                {'P', 'W', 1}});

TEST(Rfc2217Codec, KeepsOnlyTheUnitsBytesWithEscaped0xFFsMadeSingle)
{
    Rfc2217Codec codec{LineSettings{}};
    const Rfc2217Codec::Decoded out = decode(codec, kMixedStream);
    EXPECT_EQ(out.data, (Bytes{'B', 'R', 255, 'C', 'O', 40, 'P', 'W', 1}));
    EXPECT_EQ(out.replies, (Bytes{kIac, kDont, 1}));
}

TEST(Rfc2217Codec, ReadsTheSameWhereverTheBytesAreSplit)
{
    Rfc2217Codec whole{LineSettings{}};
    const Rfc2217Codec::Decoded expected = decode(whole, cat({kSer2netOpening, kMixedStream}));
    const Bytes stream = cat({kSer2netOpening, kMixedStream});
    for (size_t split = 1; split < stream.size(); ++split) {
        Rfc2217Codec codec{LineSettings{}};
        Rfc2217Codec::Decoded out;
        codec.decode(std::span(stream).first(split), out);
        codec.decode(std::span(stream).subspan(split), out);
        EXPECT_EQ(out.data, expected.data) << "split at " << split;
        EXPECT_EQ(out.replies, expected.replies) << "split at " << split;
    }
}

TEST(Rfc2217Codec, ASubnegotiationCutShortByACommandEndsThereAndTheCommandCounts)
{
    Rfc2217Codec codec{LineSettings{}};
    const Rfc2217Codec::Decoded out = decode(codec, {kIac, kSb, 44, 107, kIac, kWill, 0, 'A', 'L', 0});
    EXPECT_EQ(out.data, (Bytes{'A', 'L', 0}));
    EXPECT_EQ(out.replies, (Bytes{kIac, kDo, 0}));
}

}  // namespace
}  // namespace plenvo
