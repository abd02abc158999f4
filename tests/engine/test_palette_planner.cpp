// The palettes of the scenes, made side by side on the engine's threads: the same palettes in the
// same order as made one after the other, progress that only grows and comes from the calling
// thread, and a cancel or a failed read that ends the stage with nothing planned.

#include "engine/GifSequence.h"
#include "engine/PalettePlanner.h"
#include "engine/Quantizer.h"
#include "engine/WorkPool.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace {

constexpr int width = 48, height = 32, pixels = width * height;

// A frame of scene `scene`: noise around a colour of its own, or (scene 3) flat blocks of a few
// exact colours, as a screen recording has.
std::vector<uchar> SceneFrame(int scene, int frame) {
    std::mt19937 random(static_cast<unsigned>(scene * 1000 + frame));
    std::vector<uchar> rgb(static_cast<size_t>(pixels) * 3);
    for (int i = 0; i < pixels; ++i) {
        uchar* p = &rgb[static_cast<size_t>(i) * 3];
        if (scene == 3) {
            const int block = (i % width) / 12 + (i / width) / 8 + frame;
            p[0] = static_cast<uchar>(block * 40), p[1] = 200,
            p[2] = static_cast<uchar>(block * 17);
            continue;
        }
        const int base[3] = {60 + scene * 60, 200 - scene * 50, (scene * 97) % 256};
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<uchar>(
                std::clamp(base[c] + static_cast<int>(random() % 90) - 45 + (i % width), 0, 255));
    }
    return rgb;
}

// Frames in the spill, with the scene of each and the sequence that shows them.
struct TPlanningSetup {
    QSize Size;
    QTemporaryDir Folder;
    TFrameSpill Spill{Folder.path(), static_cast<qint64>(Size.width()) * Size.height() * 3, 0};
    TConversionRequest Request;
    TConversionPlan Plan;
    TPreparedFrames Frames;
    TGifSequence Sequence;
    std::atomic<bool> Cancel{false};
    std::function<void(int)> Report;
    TStageProgress Progress{Report};
    TSequenceReader Reader{Spill, Size, Size};
    TWorkPool* Pool = nullptr;
    std::vector<std::vector<int>> FramesOfScene; // spill indices

    // `counts[s]` frames of scene s, scene after scene (of `size`, their first pixels).
    explicit TPlanningSetup(const std::vector<int>& counts, QSize size = QSize(width, height))
        : Size(size) {
        EXPECT_TRUE(Spill.Open());
        Plan.FinalSize = Size;
        FramesOfScene.resize(counts.size());
        for (int scene = 0; scene < static_cast<int>(counts.size()); ++scene)
            for (int f = 0; f < counts[static_cast<size_t>(scene)]; ++f) {
                const int index = Frames.Count++;
                EXPECT_TRUE(Spill.Write(index, SceneFrame(scene, f).data()));
                Frames.SceneOf.push_back(scene);
                Sequence.Frames.push_back(index);
                FramesOfScene[static_cast<size_t>(scene)].push_back(index);
            }
        Sequence.Size = Plan.FinalSize;
    }
    TStop Run(TPalettePlan& plan, TPaletteOptions options = {}) {
        const TConversionContext context{Request, Plan, Spill, Cancel, Progress};
        Progress.Enter(0, 100);
        options.Pool = Pool;
        return PlanPalettes(context, Frames, Sequence, options, Reader, plan);
    }
    TStop Replan(const TPalettePlan& from, TPaletteOptions options, TPalettePlan& plan) {
        const TConversionContext context{Request, Plan, Spill, Cancel, Progress};
        Progress.Enter(0, 100);
        options.Pool = Pool;
        return ReplanPalettes(context, from, options, plan);
    }
};

// The palette of scene `scene` made on its own, from its frames `first`, `first + step` … below
// `end`.
QVector<QRgb> PaletteAlone(int scene, int end, int step) {
    TPaletteBuilder builder;
    for (int f = 0; f < end; f += step)
        builder.AddRgb(SceneFrame(scene, f).data(), pixels);
    return builder.Build();
}

} // namespace

// Four scenes: the longest (30 frames, of which every second is read) gets the global palette
// although it comes first but one; a frame shown twice counts twice but is read once. The
// colours of a scene gathered in parts on several threads and merged give the palette of one
// builder taking its frames in order, counted in cubes (filmed scenes) or exactly (the flat one).
TEST(PalettePlanner, ScenesMadeTogetherGetThePalettesMadeOneByOne) {
    TPlanningSetup setup({10, 30, 5, 12});
    setup.Sequence.Frames.push_back(setup.FramesOfScene[2][0]);
    const std::vector<QVector<QRgb>> expected = {PaletteAlone(1, 30, 2), PaletteAlone(3, 12, 1),
                                                 PaletteAlone(0, 10, 1), PaletteAlone(2, 5, 1)};
    // The flat scene's palette holds its exact colours; the others differ from each other.
    EXPECT_TRUE(expected[1].contains(qRgb(40, 200, 17)));
    EXPECT_NE(expected[0], expected[2]);
    // Whichever thread takes which part or scene, and however many there are, the outcome is the
    // same every time.
    TWorkPool one(1), three(3), eight(8);
    TWorkPool* const pools[] = {nullptr, &one, &three, &eight, &eight};
    for (int run = 0; run < 5; ++run) {
        setup.Pool = pools[run];
        std::vector<int> reported;
        std::vector<std::thread::id> reporters;
        setup.Report = [&](int percent) {
            reported.push_back(percent);
            reporters.push_back(std::this_thread::get_id());
        };
        TPalettePlan plan;
        const TStop stop = setup.Run(plan);
        ASSERT_FALSE(stop) << stop->Error.toStdString();
        ASSERT_EQ(plan.Palettes.size(), expected.size());
        for (size_t p = 0; p < expected.size(); ++p)
            EXPECT_EQ(plan.Palettes[p], expected[p]) << "palette " << p << ", run " << run;
        EXPECT_EQ(plan.PaletteOfScene, (std::map<int, int>{{1, 0}, {3, 1}, {0, 2}, {2, 3}}));
        EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
        for (const std::thread::id& id : reporters)
            EXPECT_EQ(id, std::this_thread::get_id());
    }
}

// A single scene is made on the calling thread alone, with the same palette.
TEST(PalettePlanner, OneSceneGetsOnePalette) {
    TPlanningSetup setup({7});
    TPalettePlan plan;
    ASSERT_FALSE(setup.Run(plan));
    ASSERT_EQ(plan.Palettes.size(), 1u);
    EXPECT_EQ(plan.Palettes[0], PaletteAlone(0, 7, 1));
    EXPECT_EQ(plan.PaletteOf(0), 0);
}

// A plan that kept its colours gives the palettes of another colour count without the frames:
// the ones a plan made from the frames with that count has (a size limit tries several).
TEST(PalettePlanner, PalettesOfAnotherSizeFromKeptColoursAreThoseFromTheFrames) {
    TPlanningSetup setup({10, 30, 5, 12});
    TPaletteOptions keeping;
    keeping.KeepColours = true;
    TPalettePlan kept;
    ASSERT_FALSE(setup.Run(kept, keeping));
    ASSERT_EQ(kept.Colours.size(), kept.Palettes.size());
    TPalettePlan plain;
    ASSERT_FALSE(setup.Run(plain));
    EXPECT_EQ(kept.Palettes, plain.Palettes); // keeping the colours changes nothing
    EXPECT_TRUE(plain.Colours.empty());

    TPaletteOptions fewer;
    fewer.MaxColors = 24;
    TPalettePlan fromFrames, fromColours;
    ASSERT_FALSE(setup.Run(fromFrames, fewer));
    ASSERT_FALSE(setup.Replan(kept, fewer, fromColours));
    EXPECT_EQ(fromColours.Palettes, fromFrames.Palettes);
    EXPECT_EQ(fromColours.PaletteOfScene, fromFrames.PaletteOfScene);
    for (const QVector<QRgb>& palette : fromColours.Palettes)
        EXPECT_LE(palette.size(), 24);
    // A cancel ends it with nothing planned.
    setup.Cancel = true;
    TPalettePlan cancelled;
    EXPECT_TRUE(setup.Replan(kept, fewer, cancelled));
    EXPECT_TRUE(cancelled.Palettes.empty());
}

// A cancel while frames are read, or before, ends the stage as cancelled with nothing planned;
// so does a frame that cannot be read back, or a scene with no colours, with the reason.
TEST(PalettePlanner, CancelOrAFailedReadEndsTheStageWithNothingPlanned) {
    TPlanningSetup setup({12, 30, 6, 4});
    // Frames are no longer read once the flag is set: progress stops where it was.
    int reportsAfterCancel = 0;
    setup.Report = [&](int percent) {
        reportsAfterCancel += setup.Cancel ? 1 : 0;
        if (percent > 10)
            setup.Cancel = true;
    };
    TPalettePlan plan;
    TStop stop = setup.Run(plan);
    ASSERT_TRUE(stop);
    EXPECT_TRUE(stop->Cancelled);
    EXPECT_EQ(reportsAfterCancel, 0);
    EXPECT_TRUE(plan.Palettes.empty());
    EXPECT_TRUE(plan.PaletteOfScene.empty());

    stop = setup.Run(plan); // still cancelled
    ASSERT_TRUE(stop);
    EXPECT_TRUE(stop->Cancelled);

    setup.Cancel = false;
    setup.Report = nullptr;
    // A frame of the third scene that was never written.
    setup.Frames.SceneOf.resize(static_cast<size_t>(setup.Frames.Count + 6), 2);
    setup.Sequence.Frames.push_back(setup.Frames.Count + 5);
    stop = setup.Run(plan);
    ASSERT_TRUE(stop);
    EXPECT_FALSE(stop->Cancelled);
    EXPECT_TRUE(stop->Error.startsWith(QStringLiteral("Reading back the frames failed")))
        << stop->Error.toStdString();
    EXPECT_TRUE(plan.Palettes.empty());

    // Frames without pixels give no palette: that is said, not passed on as an empty palette.
    TPlanningSetup empty({3, 2}, QSize(0, 0));
    stop = empty.Run(plan);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->Error, QStringLiteral("No palette could be made for the GIF."));
    EXPECT_TRUE(plan.Palettes.empty());
}
