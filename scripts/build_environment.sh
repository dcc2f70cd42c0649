# Sourced by the scripts that start the player from the build: its workspace's environment, through
# which pluginlib finds the package's plugins (its compressed image transport, its nodelet).
#
#   enter_build_environment BUILD_DIR
enter_build_environment() {
  # catkin's setup files read variables that may be unset.
  local had_nounset=0
  [[ $- == *u* ]] && had_nounset=1
  set +u
  source "$1/devel/setup.bash"
  ((had_nounset)) && set -u
  return 0
}
