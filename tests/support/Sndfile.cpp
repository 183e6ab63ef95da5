#include "support/Sndfile.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/TestSupport.h"

namespace vorlane::test {

void writeWithSndfile(const std::filesystem::path& path, const SndfileBwf& plan) {
    SF_INFO info{};
    info.samplerate = 48000;
    info.channels = plan.channels;
    info.format = plan.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(file) << sf_strerror(nullptr);
    SF_BROADCAST_INFO bext{};
    // Fixed-length fields: NUL-padded, unterminated when the text fills them.
    plan.originator.copy(bext.originator, sizeof bext.originator);
    plan.description.copy(bext.description, sizeof bext.description - 1);
    bext.time_reference_low = uint32_t(plan.timeReference);
    bext.time_reference_high = uint32_t(plan.timeReference >> 32);
    EXPECT_EQ(sf_command(file, SFC_SET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
    if (plan.iXML) {
        std::string text = *plan.iXML;
        SF_CHUNK_INFO chunk{};
        std::strcpy(chunk.id, "iXML");
        chunk.id_size = 4;
        chunk.datalen = unsigned(text.size());
        chunk.data = text.data();
        EXPECT_EQ(sf_set_chunk(file, &chunk), SF_ERR_NO_ERROR);
    }
    std::vector<int> samples(size_t(plan.frames * plan.channels));
    uint32_t state = 12345;
    for (int& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = int(state & 0xFFFFFF00u);
    }
    EXPECT_EQ(sf_writef_int(file, samples.data(), plan.frames), plan.frames);
    sf_close(file);
}

std::optional<SndfileView> readWithSndfile(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return std::nullopt;
    SndfileView view;
    view.frames = info.frames;
    view.channels = info.channels;
    view.samples.resize(size_t(info.frames * info.channels));
    sf_readf_int(file, view.samples.data(), info.frames);
    SF_BROADCAST_INFO bext{};
    if (sf_command(file, SFC_GET_BROADCAST_INFO, &bext, sizeof bext) == SF_TRUE) {
        view.timeReference = uint64_t(bext.time_reference_high) << 32 | bext.time_reference_low;
        view.originator.assign(bext.originator, strnlen(bext.originator, sizeof bext.originator));
    }
    SF_CHUNK_INFO wanted{};
    std::strcpy(wanted.id, "iXML");
    wanted.id_size = 4;
    if (SF_CHUNK_ITERATOR* it = sf_get_chunk_iterator(file, &wanted)) {
        SF_CHUNK_INFO found{};
        if (sf_get_chunk_size(it, &found) == SF_ERR_NO_ERROR && found.datalen > 0) {
            std::string text(found.datalen, '\0');
            found.data = text.data();
            if (sf_get_chunk_data(it, &found) == SF_ERR_NO_ERROR) view.iXML = text;
        }
    }
    sf_close(file);
    return view;
}

std::string probedTag(const std::filesystem::path& path, const std::string& tag) {
    std::string text = runTool({"ffprobe", "-v", "error", "-show_entries", "format_tags=" + tag,
                                "-of", "default=nw=1:nk=1", path.string()});
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

}  // namespace vorlane::test
