#include "EngineInspector.h"

#include "Engine.h"
#include "TagsHash.h"

namespace tunevale
{

InspectSource engineInspector(Engine& engine, std::string root)
{
    return [&engine, root = std::move(root)](const std::string& source) -> std::optional<SourceFacts> {
        const auto path = root + '/' + source;
        SourceFacts facts;
        facts.audioIdentity = engine.AudioIdentity(path);
        if (facts.audioIdentity.empty())
            return std::nullopt;
        const auto handle = engine.StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly);
        if (handle == 0)
            return std::nullopt;
        const bool tagsRead = engine.ChannelGetTags(handle, facts.tags);
        engine.StreamFree(handle);
        if (!tagsRead)
            return std::nullopt;
        facts.tagsHash = tagsHash(facts.tags);
        return facts;
    };
}

} // namespace tunevale
