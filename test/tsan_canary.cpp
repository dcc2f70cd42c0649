// A deliberate data race of the kind that matters in the player: a subscription callback on an
// AsyncSpinner thread writes a plain field that the main thread reads. Built only for
// ThreadSanitizer, to show that the suppressions still let such a race through.
#include <ros/ros.h>
#include <std_msgs/Int32.h>

namespace {

int unguarded_location = -1;

void on_location(const std_msgs::Int32::ConstPtr& message) { unguarded_location = message->data; }

}  // namespace

int main(int argc, char** argv) {
  ros::init(argc, argv, "tsan_canary", ros::init_options::NoSigintHandler | ros::init_options::AnonymousName);
  ros::NodeHandle node;
  ros::Subscriber subscriber = node.subscribe("/tsan_canary", 1000, on_location);
  ros::Publisher publisher = node.advertise<std_msgs::Int32>("/tsan_canary", 1000);
  ros::AsyncSpinner spinner(1);
  spinner.start();
  long sum = 0;
  for (int i = 0; i < 500; ++i) {
    std_msgs::Int32 message;
    message.data = i;
    publisher.publish(message);
  }
  // Reads with no lock or atomic between them and the callback's writes.
  for (int i = 0; i < 20000000; ++i) sum += unguarded_location;
  spinner.stop();
  ros::shutdown();
  return sum == 0 ? 3 : 0;
}
