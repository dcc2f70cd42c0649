# Sourced by the scripts that start the player or name its program.
#
# player_program_name: the program's name, read from the one place that gives it,
# zel_video_player/CMakeLists.txt.
player_program_name=$(sed -n 's/^set(ZEL_PROGRAM_NAME \([A-Za-z0-9_]*\) CACHE INTERNAL .*/\1/p' \
  "$(dirname "${BASH_SOURCE[0]}")/../zel_video_player/CMakeLists.txt")
if [[ -z $player_program_name ]]; then
  echo "build_environment.sh: zel_video_player/CMakeLists.txt sets no ZEL_PROGRAM_NAME" >&2
  return 1
fi

# The workspace's environment of a build, through which pluginlib finds the package's plugins (its
# compressed image transport, its nodelet).
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
