// A deliberate data race of the kind that matters in the player: a subscription callback on an
// AsyncSpinner thread writes a plain field that the main thread reads. Built only for
// ThreadSanitizer, to show that the suppressions still let such a race through.
#include <ros/ros.h>
#include <std_msgs/Int32.h>

namespace {

// volatile only keeps the compiler from hoisting the reads out of the loop; it orders nothing.
volatile int unguarded_location = -1;

void on_location(const std_msgs::Int32::ConstPtr& message) { unguarded_location = message->data; }

}  // namespace

int main(int argc, char** argv) {
  ros::init(argc, argv, "tsan_canary", ros::init_options::NoSigintHandler | ros::init_options::AnonymousName);
  ros::NodeHandle node;
  ros::Subscriber subscriber = node.subscribe("/tsan_canary", 10, on_location);
  ros::Publisher publisher = node.advertise<std_msgs::Int32>("/tsan_canary", 10);
  ros::AsyncSpinner spinner(1);
  spinner.start();
  // A message published before the subscription is linked would be dropped, leaving no race.
  while (publisher.getNumSubscribers() == 0) ros::WallDuration(0.01).sleep();
  std_msgs::Int32 message;
  message.data = 7;
  publisher.publish(message);
  // Reads with no lock or atomic between them and the callback's write, until it lands.
  const ros::WallTime deadline = ros::WallTime::now() + ros::WallDuration(20.0);
  while (unguarded_location != 7 && ros::WallTime::now() < deadline) {
  }
  spinner.stop();
  ros::shutdown();
  return unguarded_location == 7 ? 0 : 3;
}
