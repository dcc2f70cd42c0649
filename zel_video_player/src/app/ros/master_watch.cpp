#include "zel_video_player/app/ros/master_watch.h"
#include "zel_video_player/player/ros/master_answer.h"
#include "zel_video_player/text/formatting.h"

#include <set>
#include <string>

#include <ros/connection_manager.h>
#include <ros/master.h>
#include <ros/network.h>
#include <ros/ros.h>
#include <ros/xmlrpc_manager.h>

namespace zel {
namespace {

using XmlRpc::XmlRpcValue;

// Services roscpp offers on every node; a restarted master must hear of them again too.
constexpr const char* LOGGER_SERVICES[] = {"~get_loggers", "~set_logger_level"};

XmlRpcValue texts(std::initializer_list<std::string> items) {
  XmlRpcValue array;
  array.setSize(static_cast<int>(items.size()));
  int i = 0;
  for (const auto& item : items) array[i++] = item;
  return array;
}

// This node's own slave API, asked the way any ROS tool asks it: what it publishes, what it
// subscribes to, whom it is connected to.
bool ask_this_node(const std::string& method, const XmlRpcValue& args, XmlRpcValue& payload) {
  const auto& manager = ros::XMLRPCManager::instance();
  const std::string& uri = manager->getServerURI();
  std::string host;
  uint32_t port = 0;
  if (!ros::network::splitURI(uri, host, port)) return false;
  XmlRpc::XmlRpcClient* client = manager->getXMLRPCClient(host, static_cast<int>(port), uri);
  XmlRpcValue response;
  const bool answered = client->execute(method.c_str(), args, response);
  manager->releaseXMLRPCClient(client);
  return answered && manager->validateXmlrpcResponse(method, response, payload);
}

bool tell_master(const std::string& method, const XmlRpcValue& args, XmlRpcValue& payload) {
  XmlRpcValue response;
  return ros::master::execute(method, args, response, payload, false);
}

// The publishers this node already receives a topic from. They must stay in any list of
// publishers handed to roscpp, which drops every connection the list leaves out.
std::set<std::string> connected_publishers(const XmlRpcValue& bus_info, const std::string& topic) {
  std::set<std::string> uris;
  for (int i = 0; i < bus_info.size(); ++i) {
    const XmlRpcValue& link = bus_info[i];
    if (link.size() < 5) continue;
    if (std::string(link[2]) == "i" && std::string(link[4]) == topic) uris.insert(std::string(link[1]));
  }
  return uris;
}

}  // namespace

MasterWatch::MasterWatch(std::chrono::milliseconds period) : period_(period), thread_([this] { run(); }) {}

MasterWatch::~MasterWatch() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void MasterWatch::run() {
  const std::string& master = ros::master::getURI();
  bool trouble_reported = false;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!wake_.wait_for(lock, period_, [this] { return stopping_; })) {
    lock.unlock();
    const Standing standing = ros::ok() ? check() : Standing::registered;
    if (standing == Standing::registered) {
      if (trouble_reported) ROS_INFO_STREAM(LOG_PREFIX << "the ROS master at " << master << " answers again");
      trouble_reported = false;
    } else {
      if (!trouble_reported) {
        if (standing == Standing::master_away) {
          ROS_WARN_STREAM(LOG_PREFIX << "the ROS master at " << master
                                                                 << " does not answer; playing on, and registering "
                                                                    "again when it is back");
        } else {
          ROS_WARN_STREAM(LOG_PREFIX << "the ROS master at " << master
                                                                 << " no longer knows this node; registering again");
        }
        trouble_reported = true;
      }
      if (standing == Standing::forgotten && register_again()) {
        ROS_INFO_STREAM(LOG_PREFIX << "registered again with the ROS master at " << master);
        trouble_reported = false;
      }
    }
    lock.lock();
  }
}

MasterWatch::Standing MasterWatch::check() const {
  const std::string& node = ros::this_node::getName();
  XmlRpcValue response;
  XmlRpcValue payload;
  if (ros::master::execute("lookupNode", texts({node, node}), response, payload, false)) return Standing::registered;
  // A master that answers with a failure does not know the name; no answer at all means it is away.
  return master_answered(response) ? Standing::forgotten : Standing::master_away;
}

bool MasterWatch::register_again() const {
  const std::string& node = ros::this_node::getName();
  const std::string& node_api = ros::XMLRPCManager::instance()->getServerURI();
  XmlRpcValue publications;
  XmlRpcValue subscriptions;
  XmlRpcValue bus_info;
  if (!ask_this_node("getPublications", texts({node}), publications) ||
      !ask_this_node("getSubscriptions", texts({node}), subscriptions) ||
      !ask_this_node("getBusInfo", texts({node}), bus_info)) {
    return false;
  }
  XmlRpcValue ignored;
  for (int i = 0; i < publications.size(); ++i) {
    const std::string topic = publications[i][0];
    const std::string type = publications[i][1];
    if (!tell_master("registerPublisher", texts({node, topic, type, node_api}), ignored)) return false;
  }
  for (int i = 0; i < subscriptions.size(); ++i) {
    const std::string topic = subscriptions[i][0];
    const std::string type = subscriptions[i][1];
    XmlRpcValue publishers;
    if (!tell_master("registerSubscriber", texts({node, topic, type, node_api}), publishers)) return false;
    // Publishers that came up while the master had forgotten this node never heard of it.
    std::set<std::string> known = connected_publishers(bus_info, topic);
    bool news = false;
    for (int p = 0; p < publishers.size(); ++p) news |= known.insert(std::string(publishers[p])).second;
    if (!news) continue;
    XmlRpcValue update = texts({"/master", topic});
    XmlRpcValue list;
    list.setSize(0);
    for (const auto& uri : known) list[list.size()] = uri;
    update[2] = list;
    ask_this_node("publisherUpdate", update, ignored);
  }
  const std::string service_api =
      "rosrpc://" + ros::network::getHost() + ":" + std::to_string(ros::ConnectionManager::instance()->getTCPPort());
  for (const char* service : LOGGER_SERVICES) {
    if (!tell_master("registerService", texts({node, ros::names::resolve(service), service_api, node_api}), ignored)) {
      return false;
    }
  }
  return true;
}

}  // namespace zel
