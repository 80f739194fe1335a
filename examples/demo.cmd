%job  demo: 24 random light atoms in P 21/c
%structure demo
%nowindow
%data
cell 9.3863 12.2022 15.9567 90.000 109.000 90.000
spac p 1 21/c 1
cont c 72 o 16 n 8
refl demo.hkl
%normal
%seminvariants
%invariants
%phase
%fourier
%export
shel
%history
%end
