# The architecture's Windows Installer package, built by wixl (Debian's wixl, from msitools)
# from a source that this file generates: the files that cmake/Packaging.cmake ships with a
# PACKAGE_FOLDER, under Program Files\VEYRAK\vrksolauth of the architecture, and the server's
# COM registration as rows of the package's Registry table (resources/vrksolauth-*.wxs.in: class,
# progids, typelib, interface), filled in from the identifiers of the IDL and the registration script
# (cmake/ServerIdentifiers.cmake). Included by cmake/Packaging.cmake once every shipped file is
# listed. The package is built with everything else (target vrk_package_msi).
#   VRK_PACKAGE_MSI  vrksolauth-<version>-x86.msi or -x64.msi, at the top of the build tree
#   VRK_PACKAGE_WXS  the generated package source
#
# Why rows of the Registry table and not a self-registration: Windows Installer then removes and
# repairs the registration itself, and no code of the package runs during the installation.
# wixl has no TypeLib or Class elements, and the Class table would register the class through an
# advertised descriptor rather than the plain path that regsvr32 writes.
find_program(VRK_WIXL NAMES wixl REQUIRED)
# The tests read the packages with msitools: VRK_MSIINFO lists their tables, VRK_MSIEXTRACT
# unpacks their files.
find_program(VRK_MSIINFO NAMES msiinfo REQUIRED)
find_program(VRK_MSIEXTRACT NAMES msiextract REQUIRED)

# Each architecture's package is a product of its own, so that both install side by side on
# 64-bit Windows. An upgrade code never changes: Windows Installer finds by it the installed
# versions that a package replaces. Each version has its own product code, so that a newer
# package removes the older one (MajorUpgrade): a new version needs a new line here.
set(upgrade_code_x86 BC8172D3-2817-4CE1-AEC6-3B435C27D458)
set(upgrade_code_x64 CF3F1FE9-C313-4837-AE03-0CD3C1049743)
set(product_code_x86_1.0.0 42A3D8C2-6F19-4826-96F5-C97A68A1D0A1)
set(product_code_x64_1.0.0 3C751162-AD87-423A-B1AC-F167BADC5217)
if(NOT DEFINED product_code_${VRK_ARCH}_${PROJECT_VERSION})
    message(FATAL_ERROR "${CMAKE_CURRENT_LIST_FILE}: no product code for version ${PROJECT_VERSION} (${VRK_ARCH}); "
                        "add product_code_${VRK_ARCH}_${PROJECT_VERSION}, a new GUID")
endif()
set(upgrade_code ${upgrade_code_${VRK_ARCH}})
set(VRK_MSI_UPGRADE_CODE {${upgrade_code}})
set(VRK_MSI_PRODUCT_CODE {${product_code_${VRK_ARCH}_${PROJECT_VERSION}}})

if(VRK_ARCH STREQUAL "x64")
    set(VRK_MSI_PROGRAM_FILES ProgramFiles64Folder)
    set(VRK_MSI_WIN64 yes)
else()
    set(VRK_MSI_PROGRAM_FILES ProgramFilesFolder)
    set(VRK_MSI_WIN64 no)
endif()

# vrk_msi_component(<xml variable> <id> <installed path> <win64> <content>): appends a component.
# Its GUID derives from the architecture's upgrade code and the installed path, so that a file
# keeps its component from one version to the next, as Windows Installer's component rules ask.
function(vrk_msi_component variable id path win64 content)
    string(UUID guid NAMESPACE ${upgrade_code} NAME "component ${path}" TYPE SHA1 UPPER)
    set(${variable} "${${variable}}<Component Id=\"${id}\" Guid=\"{${guid}}\" Win64=\"${win64}\">\n${content}</Component>\n"
        PARENT_SCOPE)
endfunction()

# vrk_msi_id(<variable> <folder> <name>): the identifier of a shipped file's component and file.
function(vrk_msi_id variable folder name)
    if(folder STREQUAL ".")
        string(MAKE_C_IDENTIFIER "${name}" id)
    else()
        string(MAKE_C_IDENTIFIER "${folder}/${name}" id)
    endif()
    set(${variable} ${id} PARENT_SCOPE)
endfunction()

# Components that both architectures' packages carry, with the same component code, so that
# Windows Installer counts the products that hold them and removes them with the last one: the
# registry keys that both registry views share (the ProgIDs, the type library's version key) and
# the interface's key in the 32-bit view, which both a 32-bit and a 64-bit registration write.
# Their codes derive from this fixed namespace, never from an architecture's upgrade code.
set(shared_component_namespace 2DFAAEC5-245E-4A92-9771-6F7F6B1DC39D)

# The registration rows. Those of the server file's own component: the class and its
# architecture's type library subkey, and in the x64 package the interface in the 64-bit view.
set(server_target vrksolauth)
vrk_msi_id(server_id . ${server_target})
set(VRK_MSI_SERVER_FILE_ID file_${server_id})
set(templates class progids typelib interface)
foreach(template IN LISTS templates)
    set(${template}_template ${PROJECT_SOURCE_DIR}/resources/vrksolauth-${template}.wxs.in)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${${template}_template})
    file(READ ${${template}_template} rows)
    string(CONFIGURE "${rows}" ${template}_rows @ONLY)
endforeach()
set(package_template ${PROJECT_SOURCE_DIR}/resources/vrksolauth.wxs.in)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${package_template})
set(server_rows "${class_rows}")
if(VRK_MSI_WIN64)
    string(APPEND server_rows "${interface_rows}")
endif()

# The shipped files that the package carries: "<folder>|<name>|<source>" each, and every folder
# that holds one, with the folders above it.
get_property(entries GLOBAL PROPERTY VRK_PACKAGE_FILES)
set(folders "")
set(sources "")
foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 folder)
    list(GET fields 2 source)
    list(APPEND sources ${source})
    while(NOT folder STREQUAL "." AND NOT folder IN_LIST folders)
        list(APPEND folders ${folder})
        get_filename_component(folder ${folder} DIRECTORY)
        if(folder STREQUAL "")
            set(folder .)
        endif()
    endwhile()
endforeach()

# wixl takes a source's path relative to the package source's folder, never an absolute one.
set(package_folder ${CMAKE_BINARY_DIR}/package)

# vrk_msi_folder(<xml variable> <folder>): one component per file of <folder>, the file its key
# path, then its subfolders with theirs.
function(vrk_msi_folder variable folder)
    set(xml "")
    foreach(entry IN LISTS entries)
        string(REPLACE "|" ";" fields "${entry}")
        list(GET fields 0 entry_folder)
        list(GET fields 1 name)
        list(GET fields 2 source)
        if(NOT entry_folder STREQUAL folder)
            continue()
        endif()
        vrk_msi_id(id ${folder} ${name})
        set(rows "")
        if(folder STREQUAL "." AND name STREQUAL server_target)
            set(rows "${server_rows}")
        endif()
        set(source "$<PATH:RELATIVE_PATH,${source},${package_folder}>")
        vrk_msi_component(xml component_${id} "${folder}/${name}" ${VRK_MSI_WIN64}
            "<File Id=\"file_${id}\" Source=\"${source}\" KeyPath=\"yes\"/>\n${rows}")
    endforeach()
    foreach(subfolder IN LISTS folders)
        get_filename_component(parent ${subfolder} DIRECTORY)
        get_filename_component(name ${subfolder} NAME)
        if(parent STREQUAL "")
            set(parent .)
        endif()
        if(parent STREQUAL folder)
            vrk_msi_folder(inner ${subfolder})
            string(MAKE_C_IDENTIFIER "${subfolder}" id)
            string(APPEND xml "<Directory Id=\"folder_${id}\" Name=\"${name}\">\n${inner}</Directory>\n")
        endif()
    endforeach()
    set(${variable} "${xml}" PARENT_SCOPE)
endfunction()
vrk_msi_folder(VRK_MSI_FOLDER_CONTENTS .)

# vrk_msi_shared_component(<id> <name> <win64> <content>): a component of both packages, with one
# component code.
function(vrk_msi_shared_component id name win64 content)
    string(UUID guid NAMESPACE ${shared_component_namespace} NAME "shared component ${name}" TYPE SHA1 UPPER)
    set(VRK_MSI_FOLDER_CONTENTS
        "${VRK_MSI_FOLDER_CONTENTS}<Component Id=\"${id}\" Guid=\"{${guid}}\" Win64=\"${win64}\">\n${content}</Component>\n"
        PARENT_SCOPE)
endfunction()
# The ProgID keys are shared by both views on Windows, and each package writes them from its own
# side: a 32-bit component of the 64-bit package would write them where only 32-bit clients look
# under Wine. The interface's key of the 32-bit view and the type library's version key are the
# 32-bit view's in both packages.
vrk_msi_shared_component(component_shared_progids "ProgIDs" ${VRK_MSI_WIN64} "${progids_rows}")
vrk_msi_shared_component(component_shared_typelib_32bit_view "type library, interface in the 32-bit view" no
    "${typelib_rows}${interface_rows}")
string(REGEX MATCHALL "<Component Id=\"[^\"]+\"" components "${VRK_MSI_FOLDER_CONTENTS}")

set(VRK_MSI_COMPONENT_REFS "")
foreach(component IN LISTS components)
    string(REPLACE "<Component Id=" "<ComponentRef Id=" component "${component}")
    string(APPEND VRK_MSI_COMPONENT_REFS "      ${component}/>\n")
endforeach()
string(UUID vendor_folder_guid NAMESPACE ${upgrade_code} NAME "component VEYRAK" TYPE SHA1 UPPER)
set(VRK_MSI_VENDOR_FOLDER_GUID {${vendor_folder_guid}})

file(READ ${package_template} wxs)
string(CONFIGURE "${wxs}" wxs @ONLY)
set(VRK_PACKAGE_WXS ${package_folder}/vrksolauth.wxs)
set(VRK_PACKAGE_MSI ${CMAKE_BINARY_DIR}/vrksolauth-${PROJECT_VERSION}-${VRK_ARCH}.msi)
# The sources' paths are generator expressions until the build system is generated.
file(GENERATE OUTPUT ${VRK_PACKAGE_WXS} CONTENT "${wxs}")
find_program(VRK_MSIBUILD NAMES msibuild REQUIRED)
add_custom_command(OUTPUT ${VRK_PACKAGE_MSI}
    COMMAND ${CMAKE_COMMAND} -DWIXL=${VRK_WIXL} -DMSIBUILD=${VRK_MSIBUILD} -DMSIINFO=${VRK_MSIINFO} -DARCH=${VRK_ARCH}
            -DSOURCE=${VRK_PACKAGE_WXS} -DPACKAGE=${VRK_PACKAGE_MSI} -DEPOCH=${VRK_SOURCE_DATE_EPOCH}
            "-DFIXED_CLOCK=${VRK_FIXED_CLOCK}" "-DSIGN=${VRK_SIGN_COMMAND}"
            -P ${PROJECT_SOURCE_DIR}/cmake/RunWixl.cmake
    DEPENDS ${VRK_PACKAGE_WXS} ${sources} ${PROJECT_SOURCE_DIR}/cmake/RunWixl.cmake ${VRK_SIGN_DEPENDS}
    WORKING_DIRECTORY ${package_folder}
    COMMENT "Building the Windows Installer package ${VRK_PACKAGE_MSI}"
    VERBATIM)
add_custom_target(vrk_package_msi ALL DEPENDS ${VRK_PACKAGE_MSI})
add_dependencies(vrk_package_msi vrk_signed vrk_typelib)
