#include "OutputGainTags.h"

#include "Gains.h"

#include <taglib/apetag.h>
#include <taglib/asftag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <string_view>

namespace tunevale
{

namespace
{

using TagLib::String;

std::string lowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool sameFieldName(const std::string& a, const std::string& b)
{
    return lowerCase(a) == lowerCase(b);
}

std::string utf8(const String& text)
{
    return text.to8Bit(true);
}

String text(const std::string& utf8)
{
    return String(utf8, String::UTF8);
}

// One tag layout's loudness tags, seen by name.
class GainStore
{
public:
    virtual ~GainStore() = default;
    // The names of the tags the output carries, spelled as it spells them.
    virtual std::vector<std::string> names() const = 0;
    // Removes every tag of that name as names() spells it.
    virtual void remove(const std::string& name) = 0;
    virtual void add(const GainField& field) = 0;
};

void apply(GainStore& store, const std::vector<GainField>& fields, bool dropOthers)
{
    for (const std::string& name : store.names()) {
        const bool given = std::any_of(fields.begin(), fields.end(),
                                       [&name](const GainField& f) { return sameFieldName(f.name, name); });
        if (given || (dropOthers && isGainTagName(name)))
            store.remove(name);
    }
    for (const GainField& field : fields)
        store.add(field);
}

class Id3Store : public GainStore
{
public:
    explicit Id3Store(TagLib::ID3v2::Tag& tag) : m_tag(tag) {}

    std::vector<std::string> names() const override
    {
        std::vector<std::string> found;
        for (const TagLib::ID3v2::Frame* frame : m_tag.frameList("TXXX"))
            if (const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame))
                found.push_back(utf8(user->description()));
        return found;
    }
    void remove(const std::string& name) override
    {
        // A copy of the list: removing a frame changes the tag's own.
        const TagLib::ID3v2::FrameList frames = m_tag.frameList("TXXX");
        for (TagLib::ID3v2::Frame* frame : frames)
            if (const auto* user = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
                user && utf8(user->description()) == name)
                m_tag.removeFrame(frame);
    }
    void add(const GainField& field) override
    {
        auto frame = std::make_unique<TagLib::ID3v2::UserTextIdentificationFrame>(String::Latin1);
        frame->setDescription(text(field.name));
        frame->setText(text(field.text));
        m_tag.addFrame(frame.release());
    }

private:
    TagLib::ID3v2::Tag& m_tag;
};

class VorbisStore : public GainStore
{
public:
    explicit VorbisStore(TagLib::Ogg::XiphComment& comment) : m_comment(comment) {}

    std::vector<std::string> names() const override
    {
        std::vector<std::string> found;
        for (const auto& entry : m_comment.fieldListMap())
            found.push_back(utf8(entry.first));
        return found;
    }
    void remove(const std::string& name) override { m_comment.removeFields(text(name)); }
    void add(const GainField& field) override { m_comment.addField(text(field.name), text(field.text), false); }

private:
    TagLib::Ogg::XiphComment& m_comment;
};

class AsfStore : public GainStore
{
public:
    explicit AsfStore(TagLib::ASF::Tag& tag) : m_tag(tag) {}

    std::vector<std::string> names() const override
    {
        std::vector<std::string> found;
        for (const auto& entry : m_tag.attributeListMap())
            found.push_back(utf8(entry.first));
        return found;
    }
    void remove(const std::string& name) override { m_tag.removeItem(text(name)); }
    // The names foobar2000 and MusicBee write and read.
    void add(const GainField& field) override
    {
        m_tag.setAttribute(text(field.name), TagLib::ASF::Attribute(text(field.text)));
    }

private:
    TagLib::ASF::Tag& m_tag;
};

// iTunes' freeform atoms, "----:com.apple.iTunes:replaygain_track_gain", named in lower case as
// foobar2000 writes them.
class Mp4Store : public GainStore
{
public:
    explicit Mp4Store(TagLib::MP4::Tag& tag) : m_tag(tag) {}

    std::vector<std::string> names() const override
    {
        std::vector<std::string> found;
        for (const auto& entry : m_tag.itemMap()) {
            const std::string key = utf8(entry.first);
            if (key.starts_with(Mean))
                found.push_back(key.substr(Mean.size()));
        }
        return found;
    }
    void remove(const std::string& name) override { m_tag.removeItem(text(std::string(Mean) + name)); }
    void add(const GainField& field) override
    {
        m_tag.setItem(text(std::string(Mean) + lowerCase(field.name)), TagLib::StringList(text(field.text)));
    }

private:
    static constexpr std::string_view Mean = "----:com.apple.iTunes:";
    TagLib::MP4::Tag& m_tag;
};

class ApeStore : public GainStore
{
public:
    explicit ApeStore(TagLib::APE::Tag& tag) : m_tag(tag) {}

    std::vector<std::string> names() const override
    {
        std::vector<std::string> found;
        for (const auto& entry : m_tag.itemListMap())
            found.push_back(utf8(entry.first));
        return found;
    }
    void remove(const std::string& name) override { m_tag.removeItem(text(name)); }
    void add(const GainField& field) override { m_tag.addValue(text(field.name), text(field.text), true); }

private:
    TagLib::APE::Tag& m_tag;
};

bool carriesGains(const GainStore& store)
{
    const std::vector<std::string> names = store.names();
    return std::any_of(names.begin(), names.end(), isGainTagName);
}

} // namespace

GainChange newOutputGains(const GainTags& gains, bool lossy)
{
    return {gains, lossy || !gains.empty()};
}

GainChange givenGainsOnly(const GainTags& gains)
{
    return {gains, false};
}

std::vector<GainField> replayGainFields(const GainTags& gains)
{
    std::vector<GainField> fields;
    if (gains.trackGain)
        fields.push_back({"REPLAYGAIN_TRACK_GAIN", replayGainText(*gains.trackGain)});
    if (gains.trackPeak)
        fields.push_back({"REPLAYGAIN_TRACK_PEAK", replayPeakText(*gains.trackPeak)});
    if (gains.albumGain)
        fields.push_back({"REPLAYGAIN_ALBUM_GAIN", replayGainText(*gains.albumGain)});
    if (gains.albumPeak)
        fields.push_back({"REPLAYGAIN_ALBUM_PEAK", replayPeakText(*gains.albumPeak)});
    return fields;
}

int r128GainSteps(double replayGainDb)
{
    const double gainDb = replayGainDb + (kR128ReferenceLufs - kReplayGainReferenceLufs);
    return static_cast<int>(std::clamp(std::round(gainDb * 256.0), -32768.0, 32767.0));
}

std::vector<GainField> r128GainFields(const GainTags& gains)
{
    std::vector<GainField> fields;
    if (gains.trackGain)
        fields.push_back({"R128_TRACK_GAIN", std::to_string(r128GainSteps(*gains.trackGain))});
    if (gains.albumGain)
        fields.push_back({"R128_ALBUM_GAIN", std::to_string(r128GainSteps(*gains.albumGain))});
    return fields;
}

bool isGainTagName(const std::string& name)
{
    const std::string lower = lowerCase(name);
    return lower.starts_with("replaygain_") || lower.starts_with("r128_");
}

void setId3Gains(TagLib::ID3v2::Tag& tag, const GainChange& change)
{
    Id3Store store(tag);
    apply(store, replayGainFields(change.gains), change.dropOthers);
}

void setVorbisGains(TagLib::Ogg::XiphComment& comment, const GainChange& change)
{
    VorbisStore store(comment);
    apply(store, replayGainFields(change.gains), change.dropOthers);
}

void setOpusGains(TagLib::Ogg::XiphComment& comment, const GainChange& change)
{
    VorbisStore store(comment);
    // Opus players apply R128 gains; a REPLAYGAIN_* field beside them could be applied on top.
    if (!change.gains.empty())
        for (const std::string& name : store.names())
            if (lowerCase(name).starts_with("replaygain_"))
                store.remove(name);
    apply(store, r128GainFields(change.gains), change.dropOthers);
}

void setAsfGains(TagLib::ASF::Tag& tag, const GainChange& change)
{
    AsfStore store(tag);
    apply(store, replayGainFields(change.gains), change.dropOthers);
}

void setMp4Gains(TagLib::MP4::Tag& tag, const GainChange& change)
{
    Mp4Store store(tag);
    apply(store, replayGainFields(change.gains), change.dropOthers);
}

void setApeGains(TagLib::APE::Tag& tag, const GainChange& change)
{
    ApeStore store(tag);
    apply(store, replayGainFields(change.gains), change.dropOthers);
}

bool hasGainTags(TagLib::ID3v2::Tag& tag)
{
    return carriesGains(Id3Store(tag));
}

bool hasGainTags(TagLib::Ogg::XiphComment& comment)
{
    return carriesGains(VorbisStore(comment));
}

bool hasGainTags(TagLib::ASF::Tag& tag)
{
    return carriesGains(AsfStore(tag));
}

bool hasGainTags(TagLib::MP4::Tag& tag)
{
    return carriesGains(Mp4Store(tag));
}

bool hasGainTags(TagLib::APE::Tag& tag)
{
    return carriesGains(ApeStore(tag));
}

} // namespace tunevale
