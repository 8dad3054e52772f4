# Shared by the scripts: where things outside the repository are kept.
keyrig_cache="${KEYRIG_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/keyrig}"
mkdir -p "$keyrig_cache"

pugixml_source_dir() { echo "$keyrig_cache/pugixml"; }
