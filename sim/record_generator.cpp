#include "sim/record_generator.h"

#include "device/word_ops.h"
#include "sim/random_source.h"

#include <array>
#include <stdexcept>

namespace zklog::sim {

namespace {

// Words that sit at the edges of the signed and unsigned ranges, so decoding is exercised where
// sign handling goes wrong.
constexpr std::array<std::uint16_t, 5> kExtremeWords = {0x8000, 0x7FFF, 0xFFFF, 0x0000, 0x8001};

struct Clock {
    int year, month, day, hour, minute, second;
};

int days_in_month(int month, int year) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (month == 2 && year % 4 == 0) ? 29 : kDays[month - 1];
}

// Events come in time order, a few seconds to a few hours apart.
void advance(Clock& c, std::int64_t seconds) {
    std::int64_t s = c.second + seconds;
    c.second = static_cast<int>(s % 60);
    std::int64_t m = c.minute + s / 60;
    c.minute = static_cast<int>(m % 60);
    std::int64_t h = c.hour + m / 60;
    c.hour = static_cast<int>(h % 24);
    for (std::int64_t d = h / 24; d > 0; --d) {
        if (++c.day > days_in_month(c.month, c.year)) {
            c.day = 1;
            if (++c.month > 12) {
                c.month = 1;
                c.year = (c.year + 1) % 100;
            }
        }
    }
}

class WordMaker {
public:
    explicit WordMaker(RandomSource& rnd) : rnd_(rnd) {}

    std::uint16_t extreme() { return kExtremeWords[rnd_.between(0, std::size(kExtremeWords) - 1)]; }

    // A temperature in tenths: -40.0 to 200.0 degrees, now and then an edge word.
    std::uint16_t tenths(std::int64_t lo = -400, std::int64_t hi = 2000) {
        if (rnd_.chance(1, 25)) {
            return extreme();
        }
        return static_cast<std::uint16_t>(rnd_.between(lo, hi));
    }

    // A thermocouple reading in hundredths: 0 to 200.00 degrees, now and then an edge word.
    std::uint16_t hundredths() {
        if (rnd_.chance(1, 25)) {
            return extreme();
        }
        return static_cast<std::uint16_t>(rnd_.between(0, 20000));
    }

    // Flag bits below `bits`; often none set, since a quiet byte must read as no flag at all.
    std::uint16_t flags(int bits) {
        if (rnd_.chance(1, 4)) {
            return 0;
        }
        return static_cast<std::uint16_t>(rnd_.between(1, (std::int64_t{1} << bits) - 1));
    }

private:
    RandomSource& rnd_;
};

std::uint8_t pick_maps(RandomSource& rnd, int index, const std::array<std::uint8_t, 4>& first) {
    std::uint8_t maps =
        index < 4 ? first[index] : static_cast<std::uint8_t>(rnd.between(0, 3) << 1);
    if (rnd.chance(1, 2)) {
        maps |= kMapZka;
    }
    return maps;
}

} // namespace

std::uint16_t record_checksum(const std::vector<std::uint16_t>& words) {
    if (words.empty()) {
        return 0xFFFF;
    }
    std::uint32_t running = device::crc_calc(0xFFFF, words[0]);
    for (std::size_t i = 1; i < words.size(); ++i) {
        running = device::crc_calc(running, words[i]);
    }
    return static_cast<std::uint16_t>(running);
}

std::vector<std::uint16_t> record_words(const GeneratedRecord& r) {
    const auto word = [](int high, int low) {
        return static_cast<std::uint16_t>((high << 8) | (low & 0xFF));
    };
    const auto raw = [](std::int16_t value) { return static_cast<std::uint16_t>(value); };
    std::vector<std::uint16_t> words{
        word(r.day, r.month),
        word(r.year, r.hour),
        word(r.minute, r.second),
        word(r.cause, r.maps),
        r.relays,
        r.errors,
        raw(r.rtd1),
        raw(r.rtd2),
        r.tc1,
        raw(r.enrolamento),
    };
    if ((r.maps & kMapZkb) != 0) {
        words.insert(words.end(), {r.relays2, r.errors2, raw(r.rtd3), raw(r.rtd4),
                                   raw(r.enrolamento2), raw(r.enrolamento3), r.tc3, r.tc4});
    }
    if ((r.maps & kMapWpx) != 0) {
        for (const auto d : r.dif) {
            words.push_back(raw(d));
        }
    }
    return words;
}

std::uint32_t put_record(RelayImage& image, std::uint32_t start,
                         std::vector<std::uint16_t> words_without_checksum, bool valid_checksum) {
    const std::uint64_t end = std::uint64_t{start} + words_without_checksum.size() + 1;
    if (end > RelayImage::kRegisters) {
        throw std::out_of_range("record at " + std::to_string(start) + " runs past register 65535");
    }
    std::uint16_t checksum = record_checksum(words_without_checksum);
    if (!valid_checksum) {
        checksum ^= 0x5A5A;
    }
    words_without_checksum.push_back(checksum);
    std::uint32_t reg = start;
    for (const auto w : words_without_checksum) {
        image.set_word(reg++, w);
    }
    return reg;
}

std::vector<GeneratedRecord> generate_records(RelayImage& image, int count, std::uint32_t seed) {
    RandomSource rnd(seed);
    WordMaker make(rnd);

    // Every shape turns up among the first four records, in an order that varies by seed.
    std::array<std::uint8_t, 4> first{0, kMapZkb, kMapWpx, kMapZkb | kMapWpx};
    for (int i = 3; i > 0; --i) {
        std::swap(first[i], first[rnd.between(0, i)]);
    }

    Clock clock{static_cast<int>(rnd.between(15, 30)),
                static_cast<int>(rnd.between(1, 12)),
                1,
                static_cast<int>(rnd.between(0, 23)),
                static_cast<int>(rnd.between(0, 59)),
                static_cast<int>(rnd.between(0, 59))};
    clock.day = static_cast<int>(rnd.between(1, days_in_month(clock.month, clock.year)));

    std::vector<GeneratedRecord> records;
    std::uint32_t start = RelayImage::kLogStart;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t maps = pick_maps(rnd, i, first);
        if (start > RelayImage::kLastRecordStart) {
            break;
        }
        GeneratedRecord r;
        r.start = start;
        r.maps = maps;
        if (i > 0) {
            advance(clock, rnd.chance(1, 3) ? rnd.between(1, 59)
                                            : rnd.between(60, std::int64_t{4} * 3600));
        }
        r.day = clock.day;
        r.month = clock.month;
        r.year = clock.year;
        r.hour = clock.hour;
        r.minute = clock.minute;
        r.second = clock.second;
        r.cause = static_cast<std::uint8_t>(make.flags(5));
        r.relays = static_cast<std::uint8_t>(make.flags(8));
        r.errors = make.flags(14);
        const std::uint16_t rtd1 = make.tenths();
        const std::uint16_t rtd2 = make.tenths();
        const std::uint16_t tc1 = make.hundredths();
        const std::uint16_t enr = make.tenths();
        r.rtd1 = static_cast<std::int16_t>(rtd1);
        r.rtd2 = static_cast<std::int16_t>(rtd2);
        r.tc1 = tc1;
        r.enrolamento = static_cast<std::int16_t>(enr);

        std::vector<std::uint16_t> words{
            static_cast<std::uint16_t>((r.day << 8) | r.month),
            static_cast<std::uint16_t>((r.year << 8) | r.hour),
            static_cast<std::uint16_t>((r.minute << 8) | r.second),
            static_cast<std::uint16_t>((r.cause << 8) | r.maps),
            r.relays,
            r.errors,
            rtd1,
            rtd2,
            tc1,
            enr,
        };
        if (maps & kMapZkb) {
            r.relays2 = static_cast<std::uint8_t>(make.flags(8));
            r.errors2 = make.flags(14);
            const std::array<std::uint16_t, 8> block = {
                r.relays2,     r.errors2,     make.tenths(),     make.tenths(),
                make.tenths(), make.tenths(), make.hundredths(), make.hundredths()};
            r.rtd3 = static_cast<std::int16_t>(block[2]);
            r.rtd4 = static_cast<std::int16_t>(block[3]);
            r.enrolamento2 = static_cast<std::int16_t>(block[4]);
            r.enrolamento3 = static_cast<std::int16_t>(block[5]);
            r.tc3 = block[6];
            r.tc4 = block[7];
            words.insert(words.end(), block.begin(), block.end());
        }
        if (maps & kMapWpx) {
            for (auto& d : r.dif) {
                const std::uint16_t w = make.tenths(-300, 300);
                d = static_cast<std::int16_t>(w);
                words.push_back(w);
            }
        }
        const std::uint32_t next = put_record(image, start, words);
        r.checksum = image.word(next - 1);
        words.push_back(r.checksum);
        r.words = std::move(words);
        records.push_back(std::move(r));
        start = next;
    }
    if (!records.empty()) {
        image.set_pointer(static_cast<std::uint16_t>(records.back().start - RelayImage::kLogStart));
    }
    return records;
}

} // namespace zklog::sim
