// Kept apart from the class so that tests can link the class without registering it twice.
#include <pluginlib/class_list_macros.hpp>

#include "zel_video_player/app/ros/player_nodelet.h"

PLUGINLIB_EXPORT_CLASS(zel::ZELVideoPlayerNodelet, nodelet::Nodelet)
