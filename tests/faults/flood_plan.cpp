#include "flood_plan.h"

#include "lan_namespace.h"

#include <algorithm>
#include <random>
#include <set>

namespace nimbrel::testing {

namespace {

// Device offsets within the LAN's range (10.(100+lan).0.0/19).
constexpr int kAnnouncers = 3000;    // 1..3000: valid (and some malformed) announcements
constexpr int kMalformedOnly = 3400; // 3001..3400: malformed announcements only
constexpr int kOversizeOnly = 3500;  // 3401..3500: announcements over 8192 bytes only
constexpr int kEarlyFirst = 4001;    // 4001..4500: announce before "Clear list" only
constexpr int kEarlyLast = 4500;
constexpr int kOthersLast = 8000; // noise, replies and verdicts from anywhere up to here
constexpr int kEarlyMarkerOffset = 8100;
constexpr int kLastMarkerOffset = 8101;
constexpr std::size_t kSizeLimit = 8192;
const std::string kMarker = "im_QUORIX;MARKER;";

enum class Kind { Valid, Malformed, Reply, Verdict, Noise, Empty, Oversize, AtLimit };

struct Weighted {
    Kind kind;
    const char* name;
    int weight;
};

constexpr Weighted kMix[] = {
    {Kind::Valid, "valid announcement", 25},
    {Kind::Malformed, "malformed announcement", 5},
    {Kind::Reply, "settings reply", 15},
    {Kind::Verdict, "verdict text from another address", 5},
    {Kind::Noise, "noise", 40},
    {Kind::Empty, "0 bytes", 5},
    {Kind::Oversize, "over 8192 bytes", 3},
    {Kind::AtLimit, "announcement of exactly 8192 bytes", 2},
};

std::string modelOf(int offset)
{
    static const char* models[] = {"QUORIX", "ROUTER-AX", ""};
    return models[offset % 3];
}

std::string identifierOf(int offset)
{
    return "ID-" + std::to_string(offset);
}

std::string announcementFor(int offset, const std::string& user = "admin")
{
    return "im_QUORIX;" + modelOf(offset) + ";" + identifierOf(offset) + ";2.4.1;1187;" + user +
           ";no;Office;wpa;secret123;yes;;;;yes;;;;";
}

std::string parts(int count, char fill)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(1 + i % 3, fill) + ';';
    return text;
}

bool carriesAWord(const std::string& text)
{
    for (const char* word : {"im_QUORIX", "network_response", "Error", "Success"})
        if (text.find(word) != std::string::npos)
            return true;
    return false;
}

class Generator {
public:
    Generator(int lan, AddressValue writeTarget)
        : base_(ip_to_int(lanDevice(lan, 0))), writeTarget_(writeTarget)
    {}

    FloodDatagram make(Kind kind, bool early)
    {
        switch (kind) {
        case Kind::Valid:
            return {announcementFor(announcer(early)), address(announcerOffset_)};
        case Kind::Malformed:
            return malformed(early);
        case Kind::Reply:
            return reply();
        case Kind::Verdict:
            return verdict();
        case Kind::Noise:
            return {noise(), anyone()};
        case Kind::Empty:
            return {std::string(), anyone()};
        case Kind::Oversize:
            return oversize();
        case Kind::AtLimit: {
            const int offset = announcer(early);
            std::string text = announcementFor(offset, "");
            text = announcementFor(offset, std::string(kSizeLimit - text.size(), 'u'));
            return {text, address(offset)};
        }
        }
        return {};
    }

    Kind pickKind()
    {
        int roll = std::uniform_int_distribution(0, 99)(random_);
        for (const Weighted& w : kMix) {
            if (roll < w.weight)
                return w.kind;
            roll -= w.weight;
        }
        return Kind::Noise;
    }

    AddressValue address(int offset) const { return base_ + static_cast<AddressValue>(offset); }
    int lastAnnouncer() const { return announcerOffset_; }

private:
    int between(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }

    // Early, most announcers are ones that will not announce again after "Clear list".
    int announcer(bool early)
    {
        announcerOffset_ = early && between(0, 3) != 0 ? between(kEarlyFirst, kEarlyLast)
                                                       : between(1, kAnnouncers);
        return announcerOffset_;
    }

    AddressValue anyone()
    {
        for (;;) {
            const AddressValue candidate = address(between(1, kOthersLast));
            if (candidate != writeTarget_)
                return candidate;
        }
    }

    FloodDatagram malformed(bool early)
    {
        announcerOffset_ =
            between(0, 1) != 0 ? between(kAnnouncers + 1, kMalformedOnly) : announcer(early);
        std::string text;
        switch (between(0, 3)) {
        case 0: { // too few or too many parts
            int count = between(1, 30);
            if (count == 17)
                count = 16;
            text = "im_QUORIX;" + parts(count, 'p');
            break;
        }
        case 1:
            text = "garbage\x01im_QUORIX";
            break;
        case 2:
            text = "\xff\xfeim_QUORIX;\x80\x81;" + parts(between(0, 10), '\xe9');
            break;
        default:
            text = "im_QUORIX;QUORIX;" + parts(between(20, 60), 'x');
            break;
        }
        return {text, address(announcerOffset_)};
    }

    FloodDatagram reply()
    {
        const int count = between(0, 20);
        std::string text = count == 0 ? "network_response" : "network_response;";
        for (int k = 1; k < count; ++k)
            text += "v" + std::to_string(k) + ";";
        const AddressValue from = between(0, 1) != 0 ? address(between(1, kAnnouncers)) : anyone();
        return {text, from};
    }

    FloodDatagram verdict()
    {
        static const char* texts[] = {"Error", "Success", "Error and Success", "xxSuccessxx",
                                      "Success;Error;"};
        return {texts[between(0, 4)], anyone()};
    }

    std::string noise()
    {
        static const char* words[] = {"find_QUORIX",     "get_network", "im_QUORI",
                                      "network_respons", "succes",      "ERROR"};
        if (between(0, 9) == 0)
            return words[between(0, 5)];
        for (;;) {
            std::string text(static_cast<std::size_t>(between(1, 400)), '\0');
            for (char& c : text)
                c = static_cast<char>(between(0, 255));
            if (!carriesAWord(text))
                return text;
        }
    }

    FloodDatagram oversize()
    {
        const std::size_t size = between(0, 1) != 0 ? 9000 : kSizeLimit + 1;
        if (between(0, 1) != 0)
            return {std::string(size, 'n'), anyone()};
        announcerOffset_ = between(kMalformedOnly + 1, kOversizeOnly);
        std::string text = announcementFor(announcerOffset_);
        text += std::string(size - text.size(), 'o');
        return {text, address(announcerOffset_)};
    }

    std::mt19937 random_{20240611};
    AddressValue base_;
    AddressValue writeTarget_;
    int announcerOffset_ = 0;
};

bool isAnnouncement(Kind kind)
{
    return kind == Kind::Valid || kind == Kind::Malformed || kind == Kind::AtLimit;
}

const char* nameOf(Kind kind)
{
    for (const Weighted& w : kMix)
        if (w.kind == kind)
            return w.name;
    return "";
}

std::string captionOf(AddressValue address, const std::string& model)
{
    return int_to_ip(address) + " (" + (model.empty() ? "Outdated firmware" : model) + ")";
}

} // namespace

std::string floodAnnouncement(int lan, AddressValue address)
{
    return announcementFor(static_cast<int>(address - ip_to_int(lanDevice(lan, 0))));
}

FloodPlan makeFloodPlan(int lan, int total, AddressValue writeTarget)
{
    Generator generator(lan, writeTarget);
    FloodPlan plan;
    plan.earlyMarker = generator.address(kEarlyMarkerOffset);
    plan.lastMarker = generator.address(kLastMarkerOffset);
    const int earlyCount = total / 10;

    std::map<AddressValue, ExpectedRow> firstAfterClear;
    std::set<AddressValue> announcedEarly;
    std::set<AddressValue> oversized;
    for (int i = 0; i < total - 2; ++i) {
        const bool early = i < earlyCount - 1;
        const Kind kind = generator.pickKind();
        FloodDatagram datagram = generator.make(kind, early);
        ++plan.kinds[nameOf(kind)];
        if (kind == Kind::Oversize && datagram.bytes.find("im_QUORIX") != std::string::npos)
            oversized.insert(datagram.from);
        if (isAnnouncement(kind) && early)
            announcedEarly.insert(datagram.from);
        if (isAnnouncement(kind) && !early && !firstAfterClear.count(datagram.from)) {
            const int offset = generator.lastAnnouncer();
            const bool valid = kind != Kind::Malformed;
            firstAfterClear[datagram.from] =
                ExpectedRow{datagram.from, captionOf(datagram.from, valid ? modelOf(offset) : ""),
                            valid ? identifierOf(offset) : ""};
        }
        (early ? plan.early : plan.main).push_back(std::move(datagram));
        if (i == earlyCount - 2)
            plan.early.push_back({kMarker + "early;" + std::string(15, ';'), plan.earlyMarker});
    }
    plan.main.push_back({kMarker + "last;" + std::string(15, ';'), plan.lastMarker});
    firstAfterClear[plan.lastMarker] =
        ExpectedRow{plan.lastMarker, captionOf(plan.lastMarker, "MARKER"), "last"};

    for (auto& [address, row] : firstAfterClear)
        plan.listed.push_back(row);
    for (AddressValue address : announcedEarly)
        if (!firstAfterClear.count(address))
            plan.neverListed.push_back(address);
    for (AddressValue address : oversized)
        if (!firstAfterClear.count(address))
            plan.neverListed.push_back(address);
    return plan;
}

} // namespace nimbrel::testing
