#include "common/Log.h"
#include "decoder/CustomDecoder.h"
#include "project/VGFrames.h"
#include "project/VGProject.h"
#include "tests/support/TestUtils.h"

#include <gtest/gtest.h>
#include <random>

TEST(Frames, StaySortedUniqueAndFoundByTheirExactTime) {
    std::mt19937 random(5);
    for (int size : {0, 1, 2, 3, 7, 64, 257}) {
        TVGFrames frames;
        std::vector<int64_t> times;
        while (static_cast<int>(times.size()) < size) {
            const int64_t pts = static_cast<int64_t>(random() % 100000) - 5000;
            if (frames.FindFrame(pts))
                continue;
            times.push_back(pts);
            std::vector<int64_t> sorted = times;
            std::sort(sorted.begin(), sorted.end() - 1);
            const int index = static_cast<int>(
                std::lower_bound(sorted.begin(), sorted.end() - 1, pts) - sorted.begin());
            ASSERT_EQ(frames.InsertIndex(pts), index);
            TVGFrame* frame = frames.AddFrame(QStringLiteral("f"), pts);
            ASSERT_EQ(frames[index], frame);
        }
        std::sort(times.begin(), times.end());
        ASSERT_EQ(frames.Count(), size);
        for (int i = 0; i < size; ++i) {
            EXPECT_EQ(frames[i]->PTS, times[static_cast<size_t>(i)]);
            EXPECT_EQ(frames.FindFrame(times[static_cast<size_t>(i)]), frames[i]);
            EXPECT_EQ(frames.FindFrame(times[static_cast<size_t>(i)] + 100001), nullptr);
        }
        EXPECT_EQ(frames.InsertIndex(INT64_MIN), 0);
        EXPECT_EQ(frames.InsertIndex(INT64_MAX), size);
    }
}

TEST(Frames, LinksAgainstTheTimeOrderAreLoggedAndKept) {
    TScopedUserFolders folders;
    const QString logFile = folders.Root() + QLatin1String("Log.txt");
    TLog log(logFile, QStringLiteral("MX_TEST_Log"));
    SetLogObj(&log);
    TVGFrames frames;
    TVGFrame* a = frames.AddFrame({}, 1000000);
    TVGFrame* b = frames.AddFrame({}, 2500000);
    TVGFrames::SetNext(a, b);
    TVGFrames::SetPrior(b, a);
    TVGFrames::SetNext(b, a);
    TVGFrames::SetPrior(a, b);
    SetLogObj(nullptr);
    EXPECT_EQ(b->Next, a);
    EXPECT_EQ(a->Prior, b);
    const QStringList lines = ReadLines(logFile);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QLatin1String("error next frame?! 00:00:02.500->00:00:01.000")));
    EXPECT_TRUE(lines[1].endsWith(QLatin1String("error prior frame?! 00:00:02.500<-00:00:01.000")));
}

TEST(Frames, ClearingTheListDropsEveryLinkToItsFrames) {
    TVGFrames frames;
    TVGFrame* a = frames.AddFrame({}, 1);
    TVGFrame* b = frames.AddFrame({}, 2);
    a->Next = b;
    b->Prior = a;
    frames.Clear();
    EXPECT_EQ(frames.Count(), 0);
    EXPECT_EQ(frames.FindFrame(1), nullptr);
}

TEST(ProjectClip, ValidityMembershipAndShownTimes) {
    TVGProj project([] { return TProjectDefaults(); });
    EXPECT_EQ(project.StartPTS, AV_NOPTS_VALUE);
    EXPECT_FALSE(project.IsClipValid());
    project.StartPTS = project.EndPTS = 1000000;
    EXPECT_FALSE(project.IsClipValid());
    EXPECT_TRUE(project.IsInClip(1000000)); // a frame at exactly that time still counts
    EXPECT_FALSE(project.IsInClip(1000001));
    project.EndPTS = 3000000;
    EXPECT_TRUE(project.IsInClip(2000000));
    EXPECT_FALSE(project.IsInClip(3000001));
    EXPECT_TRUE(TVGProj::SameShownTime(1000000, 1000999));
    EXPECT_FALSE(TVGProj::SameShownTime(1000999, 1001000)); // prints differently
    EXPECT_FALSE(TVGProj::SameShownTime(1000000, 1001000)); // a millisecond apart
    EXPECT_FALSE(TVGProj::SameShownTime(INT64_MIN + 1, INT64_MAX));

    // A bound typed to the millisecond snaps to the frame shown at that millisecond.
    project.StartPTS = 1000000;
    project.EndPTS = 2002000;
    TVGFrame* a = project.Frames.AddFrame({}, 1000666);
    TVGFrame* b = project.Frames.AddFrame({}, 2002002);
    project.SnapClipToFrame();
    EXPECT_EQ(project.StartPTS, a->PTS);
    EXPECT_EQ(project.EndPTS, b->PTS);

    a->Deleted = true;
    EXPECT_TRUE(project.HasDeletedFrameInClip());
    EXPECT_TRUE(project.IsFrameDeleted(1000666));
    EXPECT_FALSE(project.IsFrameDeleted(2002002));
    EXPECT_FALSE(project.IsFrameDeleted(5));
    project.StartPTS = 1500000;
    EXPECT_FALSE(project.HasDeletedFrameInClip());
}

TEST(ProjectDefaults, NewProjectsAndCaptionsTakeTheSettings) {
    TProjectDefaults d;
    d.GifFPS = 12;
    d.GifSpeed = 1.5;
    d.GifLoop = 3;
    d.SizeStyle = ssQuarter;
    d.FontName = QStringLiteral("Liberation Serif");
    d.FontSize = 20;
    d.FontColor = 255;
    d.FontStyles = fsBoldBit | fsItalicBit;
    TVGProj project([&] { return d; });
    EXPECT_EQ(project.GifFPS, 12);
    EXPECT_EQ(project.GifSpeed, 1.5);
    EXPECT_EQ(project.GifLoop, 3);
    EXPECT_EQ(project.SizeStyle, ssQuarter);
    TTextObj* caption = project.Texts.Add();
    caption->Text = QStringLiteral("keep");
    caption->X = 7;
    caption->Alignment = taCenter;
    d.FontSize = 30;
    project.ApplyDefaults();
    EXPECT_EQ(caption->FontName, QStringLiteral("Liberation Serif"));
    EXPECT_EQ(caption->FontSize, 30);
    EXPECT_EQ(caption->FontStyles, fsBoldBit | fsItalicBit);
    EXPECT_EQ(caption->Text, QStringLiteral("keep"));
    EXPECT_EQ(caption->X, 7);
    EXPECT_EQ(caption->Alignment, taCenter);
}
