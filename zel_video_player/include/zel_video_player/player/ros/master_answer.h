#pragma once

#include <xmlrpcpp/XmlRpcValue.h>

namespace zel {

// Whether the master answered a call at all, from the response ros::master::execute leaves: a call
// that fails (a name or parameter the master does not know) still comes back with its code, message
// and value, while no answer leaves none.
inline bool master_answered(const XmlRpc::XmlRpcValue& response) {
  return response.getType() == XmlRpc::XmlRpcValue::TypeArray && response.size() == 3;
}

}  // namespace zel
