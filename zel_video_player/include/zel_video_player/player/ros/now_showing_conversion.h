#pragma once

#include <string>

#include <diagnostic_msgs/KeyValue.h>
#include <ros/time.h>
#include <std_msgs/String.h>

namespace zel {

std_msgs::String now_showing_message(const std::string& media_file);

// Which media one frame of the image topic shows, matched by the frame's header stamp, which every
// subscriber sees and every detector copies into its results: the key is frame_label_key of the
// stamp, the value the file's name.
diagnostic_msgs::KeyValue frame_media_message(const ros::Time& stamp, const std::string& media_file);

// A stamp as roscpp prints it: seconds, a point and nine digits of nanoseconds ("12.033333333").
std::string frame_label_key(const ros::Time& stamp);

}  // namespace zel
