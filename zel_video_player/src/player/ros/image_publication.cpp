#include "zel_video_player/player/ros/image_publication.h"

#include <typeinfo>

#include <ros/publication.h>
#include <ros/serialization.h>
#include <ros/topic_manager.h>

namespace zel {

ImageTakers image_takers(const ros::Publisher& publisher) {
  ImageTakers takers;
  const ros::PublicationPtr publication = ros::TopicManager::instance()->lookupPublication(publisher.getTopic());
  if (publication) {
    publication->getPublishTypes(takers.other_processes, takers.this_process, typeid(sensor_msgs::Image));
  }
  return takers;
}

void publish_image(const ros::Publisher& publisher, const sensor_msgs::ImageConstPtr& message,
                   const ros::SerializedMessage& bytes) {
  if (!publisher) return;
  ros::SerializedMessage publication;
  publication.type_info = &typeid(sensor_msgs::Image);
  publication.message = message;
  // roscpp asks for bytes under its lock, only when some subscriber needs them.
  ros::TopicManager::instance()->publish(
      publisher.getTopic(),
      [&] { return bytes.buf ? bytes : ros::serialization::serializeMessage(*message); },
      publication);
}

}  // namespace zel
