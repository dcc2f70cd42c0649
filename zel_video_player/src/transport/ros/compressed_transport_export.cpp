// The plugin library's one task: registering the transport's classes with pluginlib.
#include <pluginlib/class_list_macros.hpp>

#include "zel_video_player/transport/ros/compressed_publisher.h"
#include "zel_video_player/transport/ros/compressed_subscriber.h"

PLUGINLIB_EXPORT_CLASS(zel::transport::CompressedPublisher, image_transport::PublisherPlugin)
PLUGINLIB_EXPORT_CLASS(zel::transport::CompressedSubscriber, image_transport::SubscriberPlugin)
