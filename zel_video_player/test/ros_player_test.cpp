// The player object inside this process, beside a private master: what its frames look like on
// the topic and its listing. Playback's own rules are tested on a fake clock.
#include <cv_bridge/cv_bridge.h>
#include <gtest/gtest.h>
#include <visualization_msgs/MarkerArray.h>

#include <cmath>
#include <sstream>

#include "support/media.h"
#include "support/ros_session.h"
#include "support/timing.h"
#include "support/topic_recorder.h"
#include "zel_video_player/player/ros/zel_video_player.h"

namespace zel::testing {
namespace {

FrameIdentity identity_of(const sensor_msgs::ImageConstPtr& image) {
  return identify(cv_bridge::toCvShare(image, "bgr8")->image);
}

class PlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { start_ros_session("player_test"); }

  void SetUp() override {
    folder_ = dir_.path() + "/";
    player_.emplace(folder_, 3, 1.0, true, engine_, listing_);
    ASSERT_TRUE(recorder_.wait_for_publisher(10.0));
  }

  void TearDown() override { player_.reset(); }

  // Waits for the images already published to arrive.
  void settle() { ros::WallDuration(0.2 * TIMING_SLACK).sleep(); }

  TempDir dir_;
  std::string folder_;
  RandomEngine engine_{1234};
  std::stringstream listing_;
  ImageRecorder recorder_{"/camera/image"};
  std::optional<ZELVideoPlayer> player_;
};

TEST_F(PlayerTest, VideoPublishesEveryFrameOnceInOrderAsBgr8) {
  write_clip(folder_ + "cat.mp4", 1, 12, 30);
  const ros::Time before = ros::Time::now();
  EXPECT_TRUE(player_->play_video("cat"));
  const ros::Time after = ros::Time::now();
  settle();
  const auto images = recorder_.images();
  ASSERT_EQ(images.size(), 12u);
  for (std::size_t i = 0; i < images.size(); ++i) {
    const sensor_msgs::Image& image = *images[i];
    EXPECT_EQ(image.encoding, "bgr8");
    EXPECT_EQ(image.width, 160u);
    EXPECT_EQ(image.height, 120u);
    EXPECT_EQ(image.step, 480u);
    EXPECT_EQ(image.is_bigendian, 0);
    // Stamped as it went out.
    EXPECT_GE(image.header.stamp, i == 0 ? before : images[i - 1]->header.stamp + ros::Duration(0, 1));
    EXPECT_LE(image.header.stamp, after);
    EXPECT_EQ(image.header.frame_id, "");
    const FrameIdentity identity = identity_of(images[i]);
    EXPECT_EQ(identity.clip_code, 1);
    EXPECT_EQ(identity.frame_index, static_cast<int>(i));
  }
}

TEST_F(PlayerTest, TestModeListsAndShowsTheFourFixedPointsAndFollowsPoses) {
  EXPECT_EQ(listing_.str(),
            "ZEL video player: Test locations:\n"
            "    1. (3.75, 3.5)\n"
            "    2. (10.7, 6)\n"
            "    3. (3.78, 7.78)\n"
            "    4. (10.6, 2.35)\n");
  // A pose that is not a number is at no point: it leaves the point the robot was at.
  const auto location_after = [&](double x, double y) {
    auto pose = boost::make_shared<geometry_msgs::PoseWithCovarianceStamped>();
    pose->pose.pose.position.x = x;
    pose->pose.pose.position.y = y;
    player_->pose_callback(pose);
    return player_->location();
  };
  EXPECT_EQ(location_after(10.7, 6.0), 1);
  EXPECT_EQ(location_after(std::nan(""), 6.0), NO_LOCATION);

  // The points were published once, before anyone listened: only a latch delivers them, each
  // point with a disc as wide as the player's circle.
  const Recorder<visualization_msgs::MarkerArray> markers("/player_test/points_of_interest");
  ASSERT_TRUE(markers.wait_until([](const auto& got) { return !got.empty(); }, 5.0 * TIMING_SLACK));
  const visualization_msgs::MarkerArray shown = markers.messages().front();
  std::vector<double> disc_widths;
  for (const auto& marker : shown.markers) {
    if (marker.ns == "radius") disc_widths.push_back(marker.scale.x);
  }
  EXPECT_EQ(disc_widths, std::vector<double>(4, 2.0));
}

TEST_F(PlayerTest, GeneratedPointsAreListedAndEmptyListsHaveOnlyTheHeading) {
  player_.reset();
  std::stringstream listing;
  {
    ZELVideoPlayer none(folder_, 0, 1.5, false, engine_, listing);
    EXPECT_TRUE(none.locations().empty());
  }
  EXPECT_EQ(listing.str(), "ZEL video player: Generated locations:\n");
  listing.str("");
  ZELVideoPlayer some(folder_, 3, 7.0, false, engine_, listing);
  EXPECT_EQ(listing.str(),
            "ZEL video player: Generated locations:\n    1. (7.0, 7.0)\n    2. (7.0, 7.0)\n    3. (7.0, 7.0)\n");
}

TEST(PlayerGeometry, DistanceThroughRosPointsIsPlanar) {
  geometry_msgs::Point a, b;
  b.x = 3;
  b.y = 4;
  b.z = 50;
  EXPECT_EQ(ZELVideoPlayer::distance(a, b), 5.0);
  EXPECT_EQ(ZELVideoPlayer::distance(b, a), 5.0);
}

}  // namespace
}  // namespace zel::testing
