#!/usr/bin/env bash
# Builds the Windows libraries that roadsim needs (SDL 1.2, SDL_mixer 1.2 with WAV only, zlib,
# libpng, and SDL_gfx's rotozoomer and primitives) from what Debian serves, once per set of
# versions, into a cache outside the tree, and prints the folder they were installed into.
# Usage: packaging/windows/build-libraries.sh
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache="${XDG_CACHE_HOME:-$HOME/.cache}/roadsim-windows"
host=x86_64-w64-mingw32
jobs="${JOBS:-2}"
mkdir -p "$cache"
# One build at a time: a second one waits, then finds the libraries built.
exec 9>"$cache/lock"
flock 9
log() { echo "build-libraries: $*" >&2; }

# Bookworm's sources through a private apt: the same releases on a Debian 12 and a Debian 13 host.
source "$here/../../tools/private-apt.sh"
apt_dir="$cache/apt"
private_apt "$apt_dir" deb-src bookworm
# The index is fetched once a day at most; the versions it names are the cache's key.
if [ -z "$(find "$apt_dir/lists" -maxdepth 1 -name '*Sources*' -mtime -1 2>/dev/null)" ]; then
    private apt-get update -qq
fi
version() { private apt-cache showsrc "$1" | awk '/^Version:/ {print $2; exit}'; }
sources=(libsdl1.2 sdl-mixer1.2 zlib libpng1.6)
key=""
for s in "${sources[@]}"; do key+="$s=$(version "$s") "; done
# SDL_gfx's source listings come in a binary package that the host's own apt serves.
gfx_doc=$(apt-cache policy libsdl-gfx1.2-doc | awk '/Candidate:/ {print $2}')
key+="libsdl-gfx1.2-doc=$gfx_doc $($host-gcc-posix -dumpversion) "
# GoogleTest, for the test suites' Windows build, from the host's source package.
key+="googletest=$(dpkg-query -W -f='${Version}' googletest) "
key+=$(cat "$0" "$here/gfx-from-doc.py" | sha256sum | cut -c1-12)
prefix="$cache/$(echo "$key" | sha256sum | cut -c1-16)"
if [ -f "$prefix/built" ]; then
    echo "$prefix"
    exit 0
fi

log "building into $prefix ($key)"
# Libraries of other versions, and whatever an interrupted build left behind, go.
for old in "$cache"/*/; do [ "$old" = "$apt_dir/" ] || rm -rf "$old"; done
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix/bin" "$prefix/lib/pkgconfig" "$prefix/include/SDL" "$prefix/licences"
cd "$work"
for s in "${sources[@]}"; do private apt-get source -qq "$s" >/dev/null; done
# The libraries' C is older than the errors that newer compilers (Debian 13's) make of its
# implicit declarations and loose pointer types: warnings, as they were.
export CC="$host-gcc-posix" AR="$host-ar" RANLIB="$host-ranlib"
export CFLAGS="-O2 -Wno-error=implicit-function-declaration -Wno-error=implicit-int"
CFLAGS+=" -Wno-error=int-conversion -Wno-error=incompatible-pointer-types"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
quiet() { "$@" >"$work/step.log" 2>&1 || { tail -40 "$work/step.log" >&2; exit 1; }; }

log "SDL $(version libsdl1.2)"
cd "$work"/libsdl1.2-*/
# The program's lines go to the standard streams it was given, as on Linux, not into files.
quiet ./configure --host=$host --prefix="$prefix" --disable-stdio-redirect --disable-static
quiet make -j"$jobs"
quiet make install
cp COPYING "$prefix/licences/SDL.txt"
# Both programs link SDL's main, which hands over to theirs; the lab is a console program, the game
# asks for the windows subsystem itself.
sed -i 's/^Libs: .*/Libs: -L${libdir} -lmingw32 -lSDLmain -lSDL/' "$prefix/lib/pkgconfig/sdl.pc"

log "SDL_mixer $(version sdl-mixer1.2)"
cd "$work"/sdl-mixer1.2-*/
# WAV is all the game plays; only the library is built, not its sample players.
quiet ./configure --host=$host --prefix="$prefix" --disable-static --disable-sdltest \
    --with-sdl-prefix="$prefix" --disable-music-cmd --disable-music-mod --disable-music-midi \
    --disable-music-ogg --disable-music-flac --disable-music-mp3 --disable-music-mp3-mad-gpl
quiet make -j"$jobs" build/libSDL_mixer.la
quiet make install-hdrs install-lib
cp COPYING "$prefix/licences/SDL_mixer.txt"

log "zlib $(version zlib)"
cd "$work"/zlib-*/
for c in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
    inftrees trees uncompr zutil; do
    "$CC" $CFLAGS -c "$c.c"
done
"$AR" rcs "$prefix/lib/libz.a" ./*.o
cp zlib.h zconf.h "$prefix/include/"
sed -n '/(C) 1995/,/madler@/p' README >"$prefix/licences/zlib.txt"

log "libpng $(version libpng1.6)"
cd "$work"/libpng1.6-*/
quiet ./configure --host=$host --prefix="$prefix" --disable-shared CPPFLAGS="-I$prefix/include" \
    LDFLAGS="-L$prefix/lib"
quiet make -j"$jobs"
quiet make install
cp LICENSE "$prefix/licences/libpng.txt"

log "SDL_gfx from the source listings in libsdl-gfx1.2-doc $gfx_doc"
cd "$work"
apt-get download -qq "libsdl-gfx1.2-doc=$gfx_doc" 2>/dev/null
dpkg -x libsdl-gfx1.2-doc_*.deb gfx-doc
html=gfx-doc/usr/share/doc/libsdl-gfx1.2-doc/html
# The game turns its tyres with the rotozoomer; the lab draws its maps with the primitives.
for file in SDL_rotozoom.{c,h} SDL_gfxPrimitives{.c,.h,_font.h} SDL_gfxBlitFunc.{c,h}; do
    # The generator's page names: "_" doubled, capitals as "_" and the small letter, "." as "_8".
    page=$(echo "$file" | sed 's/_/__/g; s/\([A-Z]\)/_\L\1/g; s/\./_8/')
    python3 "$here/gfx-from-doc.py" "$html/${page}_source.html" "$file"
done
for c in SDL_rotozoom SDL_gfxPrimitives SDL_gfxBlitFunc; do
    quiet "$CC" $CFLAGS -I. -I"$prefix/include/SDL" -c "$c.c"
done
"$AR" rcs "$prefix/lib/libSDL_gfx.a" SDL_rotozoom.o SDL_gfxPrimitives.o SDL_gfxBlitFunc.o
cp SDL_rotozoom.h SDL_gfxPrimitives.h SDL_gfxBlitFunc.h "$prefix/include/SDL/"
cp gfx-doc/usr/share/doc/libsdl-gfx1.2-doc/copyright "$prefix/licences/SDL_gfx.txt"
cat >"$prefix/lib/pkgconfig/SDL_gfx.pc" <<EOF
prefix=$prefix
Name: SDL_gfx
Description: the rotozoomer and primitives of SDL_gfx, rebuilt from their source listings
Version: ${gfx_doc%%-*}
Requires: sdl
Libs: -L\${prefix}/lib -lSDL_gfx
Cflags: -I\${prefix}/include/SDL
EOF

# nlohmann-json is header-only: the host's package, beside the Windows libraries.
cp -r /usr/include/nlohmann "$prefix/include/"
mkdir -p "$prefix/share/cmake"
cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
cp /usr/share/doc/nlohmann-json3-dev/copyright "$prefix/licences/nlohmann-json.txt"

# Built by the same toolchain as the suites that link it; nothing of it goes into the zip.
log "GoogleTest $(dpkg-query -W -f='${Version}' googletest)"
quiet cmake -S /usr/src/googletest -B "$work/googletest" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DROADSIM_WINDOWS_PREFIX="$prefix" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF
quiet cmake --build "$work/googletest" -j "$jobs"
quiet cmake --install "$work/googletest"

touch "$prefix/built"
echo "$prefix"
