# Sets VORLEN_ASSEMBLY_VERSION, the version in the identity of the private
# assembly VORLEN (VORLEN.dll's RT_MANIFEST and the dependency in every
# registration-free application manifest), for the release that
# PROJECT_VERSION names.
#
# It names the COM contract, not the release. An application manifest must
# name the identity exactly ("every assembly referenced in the application
# manifest requires an assemblyIdentity that exactly matches the
# assemblyIdentity in the referenced assembly's own assembly manifest"), and a
# private assembly has no publisher policy that could redirect an older one:
# a release that changed it would stop every such application (error 14001).
# So it stays 1.0.0.0 for every compatible release, and changes only with an
# incompatible change of the contract (a new class, interface or type library
# identifier), which needs new clients anyway. The programs' own identities
# use it too.
set(VORLEN_ASSEMBLY_VERSION 1.0.0.0)
