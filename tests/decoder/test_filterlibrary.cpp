// FFmpeg's filter library is opened only when a picture needs a filter. A library that cannot be
// opened, or that lacks a function, builds no filter: pictures pass unfiltered, nothing crashes.

#include "DecoderTestUtils.h"
#include "FixtureList.h"

#include "decoder/Deinterlacer.h"
#include "decoder/FFmpegPtr.h"
#include "decoder/FilterChain.h"
#include "decoder/FilterLibrary.h"

#include "common/Log.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/version.h>
}

namespace {

const QByteArray MissingFile = "libvg-no-such-filters.so.1";

bool FilterLibraryMapped() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libavfilter.so");
}

// Decodes every picture of a generated video into a bitmap; how many came.
int DecodeEverything(const char* name) {
    TFFDecoder decoder;
    if (!decoder.LoadFile(FixtureFile(QString::fromUtf8(name))))
        return 0;
    QImage picture;
    int count = 0;
    while (decoder.Decode() && decoder.CopyToBitmap(picture))
        ++count;
    return count;
}

std::vector<void*> Functions(const TFilterLibrary& library) {
    return {reinterpret_cast<void*>(library.GraphAlloc),
            reinterpret_cast<void*>(library.GraphFree),
            reinterpret_cast<void*>(library.GetByName),
            reinterpret_cast<void*>(library.GraphCreateFilter),
            reinterpret_cast<void*>(library.GraphParse),
            reinterpret_cast<void*>(library.GraphConfig),
            reinterpret_cast<void*>(library.InOutAlloc),
            reinterpret_cast<void*>(library.InOutFree),
            reinterpret_cast<void*>(library.SourceAddFrame),
            reinterpret_cast<void*>(library.SinkGetFrame),
            reinterpret_cast<void*>(library.SinkTimeBase)};
}

// A mid-grey picture; `interlaced` marks it as two fields.
ffmpeg::TFramePtr GreyFrame(AVPixelFormat format, bool interlaced = false) {
    ffmpeg::TFramePtr frame(av_frame_alloc());
    frame->format = format;
    frame->width = 64;
    frame->height = 36;
    frame->interlaced_frame = interlaced ? 1 : 0;
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    for (int plane = 0; plane < 4 && frame->buf[plane] != nullptr; ++plane)
        std::memset(frame->buf[plane]->data, 0x40, frame->buf[plane]->size);
    return frame;
}

const QByteArray GreySource = "video_size=64x36:pix_fmt=" + QByteArray::number(AV_PIX_FMT_YUV420P) +
                              ":time_base=1/1000000:pixel_aspect=1/1";

TEST(FilterLibrary, OpensTheVersionBuiltAgainstWithEveryFunction) {
    EXPECT_TRUE(TFilterLibrary::DefaultFileName().startsWith("libavfilter.so."));
    const TFilterLibrary library(TFilterLibrary::DefaultFileName());
    ASSERT_TRUE(library.Loaded()) << qPrintable(library.Error());
    EXPECT_TRUE(library.Error().isEmpty());
    for (void* function : Functions(library))
        EXPECT_NE(function, nullptr);
    // The shared one is the same object wherever it is asked for.
    EXPECT_EQ(&TFilterLibrary::Shared(), &TFilterLibrary::Shared());
    EXPECT_TRUE(TFilterLibrary::Shared().Loaded());
}

TEST(FilterLibrary, MissingFileOrFunctionsLeaveNothingHalfLoaded) {
    const TFilterLibrary missing(MissingFile);
    EXPECT_FALSE(missing.Loaded());
    EXPECT_TRUE(missing.Error().contains(QString::fromUtf8(MissingFile)))
        << qPrintable(missing.Error());
    for (void* function : Functions(missing))
        EXPECT_EQ(function, nullptr);

    // A real FFmpeg library, but not the filter one.
    const TFilterLibrary other("libavutil.so." + QByteArray::number(LIBAVUTIL_VERSION_MAJOR));
    EXPECT_FALSE(other.Loaded());
    EXPECT_TRUE(other.Error().contains(QStringLiteral("avfilter_graph_alloc")))
        << qPrintable(other.Error());
    for (void* function : Functions(other))
        EXPECT_EQ(function, nullptr);
}

// The first failure is what the log shows: one line naming the file and why it failed.
TEST(FilterLibrary, OnlyAFailureIsLoggedWithItsReason) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("Log.txt"));
    {
        TLog log(file, QStringLiteral("VG_TEST_FilterLog"));
        SetLogObj(&log);
        EXPECT_TRUE(TFilterLibrary::OpenLogged(TFilterLibrary::DefaultFileName())->Loaded());
        EXPECT_FALSE(TFilterLibrary::OpenLogged(MissingFile)->Loaded());
        SetLogObj(nullptr);
    }
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = written.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("no deinterlacing")) << lines[0].constData();
    EXPECT_TRUE(lines[0].contains(MissingFile)) << lines[0].constData();
}

TEST(FilterChain, PassesPicturesThroughAndSurvivesBadDescriptions) {
    const TFilterLibrary library(TFilterLibrary::DefaultFileName());
    TFilterChain chain(&library);
    EXPECT_FALSE(chain.Build(GreySource, "no_such_filter"));
    EXPECT_FALSE(chain.Built());
    ffmpeg::TFramePtr frame = GreyFrame(AV_PIX_FMT_YUV420P);
    ffmpeg::TFramePtr out(av_frame_alloc());
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(chain.Put(frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF));
    EXPECT_FALSE(chain.Take(out.get()));

    // Built again after the failure, on the same object.
    ASSERT_TRUE(chain.Build(GreySource, "null"));
    frame->pts = 40000;
    ASSERT_TRUE(chain.Put(frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF));
    ASSERT_TRUE(chain.Take(out.get()));
    EXPECT_EQ(out->width, 64);
    EXPECT_EQ(out->height, 36);
    EXPECT_EQ(out->format, AV_PIX_FMT_YUV420P);
    EXPECT_EQ(av_rescale_q(out->pts, chain.OutputTimeBase(), AVRational{1, 1000000}), 40000);
    EXPECT_FALSE(chain.Take(out.get())); // one in, one out
    chain.Reset();
    EXPECT_FALSE(chain.Built());
    EXPECT_FALSE(chain.Put(frame.get(), AV_BUFFERSRC_FLAG_KEEP_REF));
}

// Without the library the filters refuse every picture, which the decoder then shows as decoded;
// with it the same pictures are filtered.
TEST(FilterChain, FiltersWithoutTheLibraryRefusePicturesSafely) {
    const TFilterLibrary missing(MissingFile);
    const TFilterLibrary library(TFilterLibrary::DefaultFileName());
    ffmpeg::TFramePtr interlaced = GreyFrame(AV_PIX_FMT_YUV420P, true);
    ffmpeg::TFramePtr out(av_frame_alloc());
    ASSERT_TRUE(interlaced && out);

    TFilterChain chain(&missing);
    EXPECT_FALSE(chain.Build(GreySource, "null"));
    EXPECT_FALSE(chain.Put(interlaced.get(), 0));
    EXPECT_FALSE(chain.Take(out.get()));

    TDeinterlacer refusing(&missing);
    EXPECT_FALSE(refusing.Put(interlaced.get()));
    EXPECT_FALSE(refusing.Active());
    refusing.Finish();
    int64_t pts = -1;
    EXPECT_FALSE(refusing.Take(out.get(), pts));

    TDeinterlacer working(&library);
    interlaced->pts = 0;
    ASSERT_TRUE(working.Put(interlaced.get()));
    working.Finish();
    EXPECT_TRUE(working.Take(out.get(), pts));
    EXPECT_EQ(pts, 0);
}

// Decodes a progressive standard-range video, an HDR one, then an interlaced one, and tells on
// standard error when the filter library was opened at the wrong moment; 0 when not.
int WrongLoadingMoments() {
    const char* why = nullptr;
    int failure = 0;
    if (FilterLibraryMapped())
        why = "opened at start", failure = 1;
    else if (DecodeEverything(fixture::SdrFileName) != fixture::HdrFrames)
        why = "standard-range video not decoded", failure = 2;
    else if (FilterLibraryMapped())
        why = "opened for a progressive standard-range video", failure = 3;
    else if (DecodeEverything(fixture::PqFileName) != fixture::HdrFrames)
        why = "HDR video not decoded", failure = 6;
    else if (FilterLibraryMapped())
        why = "opened for an HDR video (tone mapping needs only zimg)", failure = 7;
    else if (DecodeEverything(fixture::InterlacedFileName) != fixture::InterlacedFrames)
        why = "interlaced video not decoded", failure = 4;
    else if (!FilterLibraryMapped())
        why = "not opened for an interlaced video", failure = 5;
    if (why != nullptr)
        std::fprintf(stderr, "filter library %s\n", why);
    std::fflush(stderr);
    return failure;
}

// Runs in a process of its own (started afresh, so that no earlier test has opened the library).
TEST(FilterLoading, OnlyPicturesThatNeedFiltersOpenTheLibrary) {
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(WrongLoadingMoments()), testing::ExitedWithCode(0), "");
    GTEST_FLAG_SET(death_test_style, style);
}

} // namespace
