# shellcheck shell=bash
# A private apt for Debian packages or sources that the host's own suites do not serve: its own
# sources list, index and download cache in one folder, the host's dpkg status, so that the
# system's apt configuration stays as it was. Sourced by the scripts that fetch with it:
#   private_apt DIR TYPE SUITE [OPTION...]
#                                 sets it up in DIR with one line of TYPE (deb or deb-src) for
#                                 SUITE on the host's own Debian mirror, with apt's source OPTIONs
#   private apt-get ...           runs an apt command with it
private_apt() {
    private_apt_dir=$1
    local mirror
    mirror=$(apt-cache policy | grep -B1 'l=Debian,' |
        awk '/^ *[0-9]+ (https?|file):/ {print $2; exit}' || true)
    if [ -z "$mirror" ]; then
        echo "$(basename "$0"): no Debian mirror among the host's apt sources" >&2
        return 1
    fi
    mkdir -p "$private_apt_dir/lists/partial" "$private_apt_dir/archives/partial"
    echo "$2 [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ${*:4}] $mirror $3 main" \
        >"$private_apt_dir/sources.list"
    cat >"$private_apt_dir/apt.conf" <<EOF
Dir::State "$private_apt_dir";
Dir::State::status "/var/lib/dpkg/status";
Dir::Cache "$private_apt_dir";
Dir::Etc::SourceList "$private_apt_dir/sources.list";
Dir::Etc::SourceParts "/nonexistent";
APT::Sandbox::User "$(id -un)";
EOF
}

private() { APT_CONFIG="$private_apt_dir/apt.conf" "$@"; }
