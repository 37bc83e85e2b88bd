#!/usr/bin/env bash
# run-msi.sh: the architecture's Windows Installer package, installed, used and uninstalled
# silently in a fresh prefix, against regsvr32 of the same DLL in another fresh prefix.
#   run-msi.sh WINE_RUN PREFIX PACKAGE SERVER_DLL COMPONENTS_DLL MSIINFO MSIEXTRACT
# Checks that
#   - msiexec /i lays out exactly the package's files (MSIEXTRACT's copy) in
#     Program Files\VEYRAK\vrksolauth, and nowhere else;
#   - it changes the registry as regsvr32 of SERVER_DLL does in PREFIX-regsvr32, entry by entry
#     (each side's folder of the DLL written as <installation folder>), besides Windows
#     Installer's records of this product, which it must write;
#   - regsvr32 of COMPONENTS_DLL there too, and regsvr32 /u of both, leave the whole registry of
#     PREFIX-regsvr32 as it was before;
#   - the installed vrkauth.exe sees a complete registration, the installed samples create the
#     class by both ProgIDs and call it;
#   - msiexec /x leaves no file of the product, and the registry as it was before, but for the
#     empty keys of Windows Installer's own store (listed below).
source "$(dirname "${BASH_SOURCE[0]}")/client-test-lib.sh"
package=$3
server_dll=$4
components_dll=$5
msiinfo=$6
msiextract=$7

readonly msi_prefix=$VRK_PREFIX
readonly reference_prefix=$VRK_PREFIX-regsvr32
readonly folder='C:\Program Files\VEYRAK\vrksolauth'
readonly vendor_folder_on_host="$msi_prefix/drive_c/Program Files/VEYRAK"
readonly reference_folder='C:\vrksolauth-regsvr32'
own_prefixes "$msi_prefix" "$reference_prefix"

# changes BEFORE AFTER FOLDER: the entries (registry_entries) that AFTER lacks ("- ENTRY") and
# that it adds ("+ ENTRY"), with FOLDER (a Windows path ending in "\", as an export writes it)
# written as <installation folder>.
changes() {
    LC_ALL=C comm -3 <(registry_entries "$1") <(registry_entries "$2") |
        from=${3//\\/\\\\} awk '{ change = sub(/^\t/, "") ? "+ " : "- "
                                  while ((at = index($0, ENVIRON["from"])) > 0)
                                      $0 = substr($0, 1, at - 1) "<installation folder>\\\\" substr($0, at + length(ENVIRON["from"]))
                                  print change $0 }' | LC_ALL=C sort
}

# entries_under in|out KEYS CHANGES: the changes whose key is one of KEYS (a file, one key a
# line) or lies below one of them, or the others.
entries_under() {
    awk -v keep="$1" 'NR == FNR { keys[tolower($0)]; next }
        { key = tolower(substr($0, 4, index($0, "]") - 4)); under = 0
          for (k in keys) if (key == k || index(key, k "\\") == 1) { under = 1; break }
          if (under == (keep == "in")) print }' "$2" "$3"
}

# Windows Installer's records of installed products, this one's among them (made at installation,
# removed at uninstallation): the keys below these and its entry in the uninstall list.
readonly machine='HKEY_LOCAL_MACHINE\Software'
readonly installer="$machine\\Microsoft\\Windows\\CurrentVersion\\Installer"
product_code=$("$msiinfo" export "$package" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductCode" { print $2 }')
printf '%s\n' "$machine\\Classes\\Installer" "$installer" "$machine\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code" \
    >"$scratch/product-records.txt"

# Windows Installer's store of installed products: the first installation in a prefix makes these
# keys, and they stay, empty, after the last uninstallation, as on Windows, where every machine
# has them. Only the keys themselves are excused, not a value or a key below them.
printf '+ [%s]\n' "$machine\\Classes\\Installer" "$machine\\Classes\\Installer\\Features" \
    "$machine\\Classes\\Installer\\Products" "$machine\\Classes\\Installer\\UpgradeCodes" \
    "$installer\\UpgradeCodes" "$installer\\UserData" "$installer\\UserData\\S-1-5-18" \
    "$installer\\UserData\\S-1-5-18\\Components" "$installer\\UserData\\S-1-5-18\\Products" >"$scratch/store-keys.txt"

# Every file and folder in the prefix's drive C:. The one folder excused is the store of
# installed packages, which the first installation makes and the last leaves empty: Windows
# has it on every machine. A package left in it is not excused.
drive_c_listing() {
    (cd "$1/drive_c" && find . ! -path ./windows/Installer) | LC_ALL=C sort
}

# Both prefixes, made side by side. The script host registers its own type library the first time
# it runs: that happens here, before anything is compared. Each prefix is exported only once its
# wineserver has started again, since Wine rewrites some of its device keys after the first one.
echo "== fresh prefixes, regsvr32 in the other one (at $SECONDS s)"
printf 'WScript.Quit 0\r\n' >"$scratch/quit.vbs"
run_windows cscript //nologo "$(windows_path "$scratch/quit.vbs")" &
VRK_PREFIX=$reference_prefix run_windows cmd /c exit
wait
for prefix in "$msi_prefix" "$reference_prefix"; do
    stop_wineserver "$prefix"
done

# The reference, in the other prefix: regsvr32 of a copy of the DLL. Then its round trip: regsvr32
# of the substitute components as well, and regsvr32 /u of both, leave the whole registry as it was.
regsvr32_reference() {
    local VRK_PREFIX=$reference_prefix dll=$reference_folder\\$(basename "$server_dll")
    export_registry "$scratch/reference-before.txt"
    check_runs regsvr32 <<<"/s '$dll'|0"
    export_registry "$scratch/reference-registered.txt"
    register_server "$components_dll"
    export_registry "$scratch/reference-both.txt"
    cmp -s "$scratch/reference-registered.txt" "$scratch/reference-both.txt" &&
        fail "regsvr32 $(basename "$components_dll") changed nothing in the registry"
    unregister_server "$components_dll"
    check_runs regsvr32 <<<"/u /s '$dll'|0"
    export_registry "$scratch/reference-after.txt"
    expect_same "$scratch/reference-before.txt" "$scratch/reference-after.txt" \
        "regsvr32 /u of the server and the components leave the registry as it was"
}
mkdir -p "$reference_prefix/drive_c/${reference_folder#C:\\}"
cp "$server_dll" "$reference_prefix/drive_c/${reference_folder#C:\\}/"
regsvr32_reference
stop_wineserver "$reference_prefix"
changes "$scratch/reference-before.txt" "$scratch/reference-registered.txt" "$reference_folder\\" \
    >"$scratch/regsvr32-changes.txt"
[ -s "$scratch/regsvr32-changes.txt" ] || fail "regsvr32 of the server changed nothing in the registry"

echo "== msiexec /i (at $SECONDS s)"
export_registry "$scratch/before.txt"
drive_c_listing "$msi_prefix" >"$scratch/files-before.txt"
run=run_windows_to_the_end check_runs msiexec <<<"/i '$(windows_path "$package")' /qn|0"
export_registry "$scratch/installed.txt"

# msiextract lays a package out below a folder of its own choosing for Program Files.
"$msiextract" -C "$scratch/package" "$package" >/dev/null
packaged_vendor_folder=$(find "$scratch/package" -type d -name VEYRAK)
if [ ! -d "$packaged_vendor_folder" ]; then
    fail "$(basename "$msiextract") found not one VEYRAK folder in the package: ${packaged_vendor_folder:-none}"
elif diff -r "$packaged_vendor_folder" "$vendor_folder_on_host" >"$scratch/files.diff"; then
    pass "installed the package's $(find "$scratch/package" -type f | wc -l) files under $folder, each as the package holds it"
else
    fail "the installed files differ from the package's:"
    sed 's/^/      /' "$scratch/files.diff"
fi
expect_same <(echo "./Program Files/VEYRAK") <(cd "$msi_prefix/drive_c" && find . -iname VEYRAK) \
    "no VEYRAK folder but the one in C:\\Program Files"

changes "$scratch/before.txt" "$scratch/installed.txt" "$folder\\" >"$scratch/installed-changes.txt"
entries_under in "$scratch/product-records.txt" "$scratch/installed-changes.txt" >"$scratch/installer-records.txt"
entries_under out "$scratch/product-records.txt" "$scratch/installed-changes.txt" >"$scratch/package-changes.txt"
uninstall_key="[$machine\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product_code]"
if grep -qixF "+ $uninstall_key" "$scratch/installer-records.txt"; then
    pass "msiexec recorded the product ($(wc -l <"$scratch/installer-records.txt") entries of Windows Installer's, among them $uninstall_key)"
else
    fail "msiexec wrote no $uninstall_key"
fi
expect_same "$scratch/regsvr32-changes.txt" "$scratch/package-changes.txt" \
    "the package changes the registry as regsvr32 does, entry by entry"

# The installed console client and samples.
echo "== use (at $SECONDS s)"
check_runs "$folder\\vrkauth.exe" <<<"info|0|server: yes, $folder\\$(basename "$server_dll") (file exists)|registration complete"
for sample in vbscript\\vrkauth-sample.vbs jscript\\vrkauth-sample.js; do
    expect_sample "$folder\\examples\\$sample" "" "IsInstalled: no" "Authenticate failed: 0x80004005" \
        "  description: Authenticate: VRKsolution not installed" "  source:      $versioned_progid"
done

echo "== msiexec /x (at $SECONDS s)"
run=run_windows_to_the_end check_runs msiexec <<<"/x '$(windows_path "$package")' /qn|0"
export_registry "$scratch/after.txt"
drive_c_listing "$msi_prefix" >"$scratch/files-after.txt"
expect_same "$scratch/files-before.txt" "$scratch/files-after.txt" \
    "after msiexec /x drive C: holds the files and folders it held before (no $folder, no cached package)"
expect_same /dev/null <(changes "$scratch/before.txt" "$scratch/after.txt" "$folder\\" | grep -vixF -f "$scratch/store-keys.txt") \
    "after msiexec /x the registry equals the one before, but for the empty keys of Windows Installer's store"
echo "== end (at $SECONDS s)"
finish_checks
